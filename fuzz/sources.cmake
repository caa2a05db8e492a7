# Sources of the parsers under fuzzing, relative to the project root (ROOT).
set(FUZZ_PARSER_SOURCES
  ${ROOT}/platform/Text.cpp
  # The address scanner and list-file lines, with the event loop and text streams that
  # they and their literal references use.
  ${ROOT}/platform/EventLoop.cpp
  ${ROOT}/platform/FolderItem.cpp
  ${ROOT}/platform/TextStream.cpp
  ${ROOT}/lists/AddressScanner.cpp
  ${ROOT}/lists/ListFileFormat.cpp
)
