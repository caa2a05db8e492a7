# Sources of the parsers under fuzzing, relative to the project root (ROOT).
set(FUZZ_PARSER_SOURCES
  ${ROOT}/platform/Text.cpp
  ${ROOT}/platform/TextStream.cpp
  ${ROOT}/platform/FolderItem.cpp
)
