# Sources of the parsers under fuzzing, relative to the project root (ROOT).
set(FUZZ_PARSER_SOURCES
  ${ROOT}/platform/Text.cpp
  ${ROOT}/platform/TextStream.cpp
  ${ROOT}/platform/FolderItem.cpp
  ${ROOT}/platform/FileResult.cpp
  # The address scanner and list-file lines, with the event loop they yield to.
  ${ROOT}/platform/EventLoop.cpp
  ${ROOT}/lists/AddressScanner.cpp
  ${ROOT}/lists/AddressFileReader.cpp
  ${ROOT}/lists/ListFileFormat.cpp
  # The lines of the lists' history journals.
  ${ROOT}/lists/HistoryJournalFormat.cpp
  # Mail protocol replies and the outgoing message data.
  ${ROOT}/platform/Pop3Reply.cpp
  ${ROOT}/platform/SmtpReply.cpp
  ${ROOT}/platform/SmtpData.cpp
  # Message files and the Preferences file.
  ${ROOT}/mailing/MessageFile.cpp
  ${ROOT}/app/Preferences.cpp
  # The opt-out service's reply.
  ${ROOT}/platform/ServerAddress.cpp
  ${ROOT}/tools/OptOut.cpp
)
