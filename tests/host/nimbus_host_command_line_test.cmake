# nimbus-host on the fake package: what it prints and the exit codes it gives.
# Run by ctest: cmake -DNIMBUS_HOST=... -DFAKE_PACKAGE=... -DWORK_DIR=... -P this file.

set(cases 0)
set(failed 0)

# expect(NAME EXIT CODE ARGS args... [SHOWS texts...] [HIDES texts...]). An empty argument
# cannot pass through a CMake list: cases that need one live in the C++ tests.
function(expect name expected_exit)
  cmake_parse_arguments(ARG "" "" "ARGS;SHOWS;HIDES" ${ARGN})
  execute_process(COMMAND ${EMULATOR} ${NIMBUS_HOST} ${ARG_ARGS}
                  RESULT_VARIABLE exit_code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(all "${out}${err}")
  string(REPLACE "\r" "" all "${all}")
  set(problems "")
  if(NOT exit_code STREQUAL expected_exit)
    string(APPEND problems "\n  exit code ${exit_code}, expected ${expected_exit}")
  endif()
  foreach(text IN LISTS ARG_SHOWS)
    string(FIND "${all}" "${text}" at)
    if(at EQUAL -1)
      string(APPEND problems "\n  missing: ${text}")
    endif()
  endforeach()
  foreach(text IN LISTS ARG_HIDES)
    string(FIND "${all}" "${text}" at)
    if(NOT at EQUAL -1)
      string(APPEND problems "\n  unexpected: ${text}")
    endif()
  endforeach()
  math(EXPR n "${cases} + 1")
  set(cases ${n} PARENT_SCOPE)
  if(problems)
    math(EXPR n "${failed} + 1")
    set(failed ${n} PARENT_SCOPE)
    message("FAILED ${name}:${problems}\n  output:\n${all}")
  endif()
endfunction()

set(pkg --package ${FAKE_PACKAGE})
set(block_file ${WORK_DIR}/nimbus_host_block.bin)
file(WRITE ${block_file} "0123456789")

# The catalog, with parameter names.
expect(list 0 ARGS list
  SHOWS [[  2  StreamOpen(string host, integer remotePort, longint bufferSize, longint unused, longint reuseRef, integer localPort, longint localAddress) -> longint]]
        [[  8  StreamReceiveText(longint ref, out Text text, longint largest, longint mode) -> longint]]
        [[ 34  TimerStart()]]
        [[ 51  SecondsToDateTime(longint seconds, out date date, out longint time, longint gmtFlag)]]
        [[ 58  FileToBlob(Text fileName) -> block]]
  HIDES [[ 56  ]])

# A routine's entry from the built-in reference, found by name in any case or by number.
expect(help_routine 0 ARGS help streamOPEN
  SHOWS "### StreamOpen\n"
        [[`$ref:=StreamOpen($host;$remotePort;$bufferSize;0;$reuseRef;$localPort;$localAddress)`]]
        "**Result:** longint" "```4d\n"
  HIDES "### StreamSendText" "## Server side")
expect(help_by_number 0 ARGS help 58 SHOWS "### FileToBlob\n" HIDES "### BlobToFile")
expect(help_usage 0 ARGS help SHOWS "usage:" "help [ROUTINE]")
expect(help_unknown 2 ARGS help NoSuchRoutine SHOWS "unknown routine NoSuchRoutine")
expect(help_two 2 ARGS help StreamOpen StreamClose SHOWS "help takes one routine name")

# Results and written parameters of every kind.
expect(string_copy 0 ARGS ${pkg} call NameCopy [[ab\x01"\x5C]] old 0 0
  SHOWS "result: 0\n" [[param 2: string(5) "ab\x01\"\\"]] "param 3: 1000\n"
  HIDES "param 1" "param 4")
expect(by_number_any_case 0 ARGS call ${pkg} 10 7 0 12345 0x7FFF 0 0
  SHOWS "result: 2130706433\n" "param 2: 8\n" "param 3: -12345\n" "param 4: -2\n"
        "param 5: -1\n")
expect(text_result 0 ARGS ${pkg} call macToIso [[abc\r\n\t\xe9]]
  SHOWS [[result: Text(7) "ABC\x0D\x0A\x09\xE9"]])
expect(text_output 0 ARGS ${pkg} call StreamReceiveText 1 hi 100 0
  SHOWS "result: 6\n" [[param 2: Text(6) "got:hi"]])
expect(string_result_hex_longint 0 ARGS ${pkg} call SecondsToDateText 0x10 0xFFFFFFFF
  SHOWS [[result: string(7) "n=16,-1"]])
expect(date_output_no_result 0 ARGS ${pkg} call SecondsToDateTime 90000 1/1/2000 0 0
  SHOWS "param 2: 6/11/1994\n" "param 3: 3600\n"
  HIDES "result:")
expect(date_input 0 ARGS ${pkg} call DateTimeToSeconds 6/11/1994 0 0
  SHOWS "result: 19941106\n")
expect(block_from_file 0 ARGS ${pkg} call StreamSendPicture 1 @${block_file} 0 0
  SHOWS "result: 13\n")
expect(block_result_hex 0 ARGS --hex ${pkg} call FileToBlob hello
  SHOWS "result: block(10)\n  000000: 68 65 6C 6C 6F 68 65 6C 6C 6F"  "  hellohello\n")
expect(options_end 0 ARGS ${pkg} call -- NameCopy --hex x 0 0
  SHOWS [[param 2: string(5) "--hex"]])

# Mistakes on the command line: a clear message and exit code 2.
expect(unknown_routine 2 ARGS ${pkg} call NoSuchRoutine
  SHOWS "unknown routine NoSuchRoutine")
expect(too_few 2 ARGS ${pkg} call NameCopy abc
  SHOWS "NameCopy takes 4 arguments, not 1: NameCopy(string name, out string copy, out longint spare, longint unused)")
expect(bad_longint 2 ARGS ${pkg} call StreamClose 12x
  SHOWS [[argument 1 of StreamClose: "12x" is not a longint]])
expect(integer_too_big 2 ARGS ${pkg} call StreamSendText 1 t 65536 0 SHOWS "is not an integer")
expect(bad_date 2 ARGS ${pkg} call DateTimeToSeconds 1/2 0 0 SHOWS [["1/2" is not a date]])
expect(bad_escape 2 ARGS ${pkg} call MacToISO [[a\qb]] SHOWS [[unknown escape \q]])
expect(short_hex_escape 2 ARGS ${pkg} call MacToISO [[a\x4]] SHOWS "needs two hex digits")
string(REPEAT "s" 256 long_string)
expect(long_string 2 ARGS ${pkg} call NameToAddress ${long_string} 0 0
  SHOWS "a string holds at most 255 bytes")
expect(missing_block_file 2 ARGS ${pkg} call BlobToFile @${WORK_DIR}/no_such_file x
  SHOWS "cannot read")
expect(unknown_option 2 ARGS --verbose list SHOWS "unknown option --verbose")
expect(no_command 2 ARGS SHOWS "no command given" "usage:")
expect(unknown_command 2 ARGS frobnicate SHOWS "unknown command frobnicate")

# A package that does not load is a failure of another kind.
expect(missing_package 1 ARGS --package ${WORK_DIR}/absent/Nimbus.4DX call TimerStart
  SHOWS "cannot load package")

file(REMOVE ${block_file})
math(EXPR passed "${cases} - ${failed}")
message("nimbus-host: ${passed} passed, ${failed} failed")
if(failed GREATER 0)
  message(FATAL_ERROR "nimbus-host command-line cases failed")
endif()
