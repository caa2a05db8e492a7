# Sources of the parsers under fuzzing, relative to the project root (ROOT).
set(FUZZ_PARSER_SOURCES)
list(APPEND FUZZ_PARSER_SOURCES ${ROOT}/platform/Pop3Reply.cpp)
list(APPEND FUZZ_PARSER_SOURCES ${ROOT}/platform/SmtpReply.cpp ${ROOT}/platform/SmtpData.cpp)
