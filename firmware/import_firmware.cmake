# Turns the firmware the build is given into the two images it embeds,
# flash.bin (program memory) and eeprom.bin (data memory), or refuses it with
# a message that names the file and what is wrong, writing nothing.
#
# The firmware is one of:
#   a directory holding flash.bin and eeprom.bin, each exactly its memory's size;
#   an Intel HEX file (.hex, .ihx) or a Motorola S-record file (.s19, .s28,
#     .s37, .srec, .mot) holding both memories at their own addresses, as the
#     maker's STM8 toolchain or srecord writes it. srecord reads it; a byte
#     outside both memories refuses the file, gaps in program memory are
#     erased flash, 0x00, and data memory must be there whole.
# The message at the end says how many bytes of each memory came from the
# file and which ranges were filled.
#
# The build includes this file and calls tarvik_import_firmware() when it is
# configured; the tests run it on its own:
#   cmake -DFIRMWARE=<dir or file> -DOUTPUT_DIR=<dir> -P import_firmware.cmake
include(${CMAKE_CURRENT_LIST_DIR}/memory_map.cmake)

# srecord's message "srec_info: FILE: LINE: what" as "line LINE: what", its
# lines (wrapped at 80 columns) joined.
function(_tarvik_srecord_text out file text)
  string(REGEX REPLACE "\n[ \t]+" " " text "${text}")
  string(REPLACE "${file}: " "" text "${text}")
  string(REGEX REPLACE "(^|\n)srec_[a-z]+: " "\\1" text "${text}")
  string(REGEX REPLACE "(^|\n)([0-9]+): " "\\1line \\2: " text "${text}")
  string(STRIP "${text}" text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Runs srecord. A failure, and any warning but the harmless ones, refuses the
# file: srecord skips a line that is no record with only a warning, and a
# file cut short lacks its end record, so either would lose bytes silently.
# An S-record file that ends with its count record (srecord checks the count)
# is whole without a termination record: srec_cat writes it so when the
# input has no start address (_tarvik_counted, from _tarvik_check_text).
function(_tarvik_srecord out file)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE stdout
                  ERROR_VARIABLE stderr)
  _tarvik_srecord_text(text "${file}" "${stderr}")
  string(REPLACE "\n" ";" lines "${text}")
  set(fault "")
  foreach(line IN LISTS lines)
    if(line MATCHES "warning: (data records not in strictly ascending order|redundant 0x)")
      continue()  # records out of order, and overlaps that agree
    elseif(line MATCHES "warning: no execution start address record" AND _tarvik_counted)
      continue()
    elseif(line MATCHES "^line ([0-9]+): warning: no (end-of-file|execution start address) record")
      string(CONCAT fault "the file ends at line ${CMAKE_MATCH_1} without its end record "
                          "or a count record: it may have been cut short")
    elseif(line MATCHES "^line ([0-9]+): warning: ignoring garbage lines")
      set(fault "line ${CMAKE_MATCH_1} is no record")
    else()
      string(REPLACE "warning: " "" fault "${line}")
    endif()
    break()
  endforeach()
  if(fault STREQUAL "" AND NOT status EQUAL 0)
    set(fault "srecord failed (${status})")
  endif()
  if(NOT fault STREQUAL "")
    message(FATAL_ERROR "Firmware ${file}: ${fault}")
  endif()
  set(${out} "${stdout}" PARENT_SCOPE)
endfunction()

# What srecord does not see in the text: a UTF-8 byte-order mark, which it
# takes for a line that is no record; Intel HEX records after the end
# record, which it ignores (two files joined with cat lose the second);
# whether an S-record file ends with its count record (S5, S6). Sets
# _tarvik_counted in the caller.
function(_tarvik_check_text file format)
  file(READ "${file}" head LIMIT 3 HEX)
  if(head STREQUAL "efbbbf")
    message(FATAL_ERROR "Firmware ${file}: the file starts with a UTF-8 byte-order mark "
            "(EF BB BF), which is no part of a HEX or S-record file: save it without one")
  endif()
  # NO_HEX_CONVERSION: file(STRINGS) would read a HEX or S-record file as its data.
  file(STRINGS "${file}" lines NO_HEX_CONVERSION)
  set(number 0)
  set(end_line 0)
  set(last "")
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(line MATCHES "^[ \t\r]*$")
      continue()
    endif()
    if(end_line GREATER 0)
      message(FATAL_ERROR "Firmware ${file}: line ${number} follows the end record of line "
              "${end_line}: a file has nothing after its end record (two files joined?)")
    endif()
    if(format STREQUAL "-intel" AND line MATCHES "^:00[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]01")
      set(end_line ${number})
    endif()
    set(last "${line}")
  endforeach()
  set(_tarvik_counted OFF PARENT_SCOPE)
  if(format STREQUAL "-motorola" AND last MATCHES "^S[56]")
    set(_tarvik_counted ON PARENT_SCOPE)
  endif()
endfunction()

# An address as the messages write it: 0x and at least four digits.
function(_tarvik_hex out value)
  math(EXPR value "${value}" OUTPUT_FORMAT HEXADECIMAL)
  string(TOUPPER "${value}" value)
  string(REGEX REPLACE "^0X" "" value "${value}")
  string(LENGTH "${value}" length)
  if(length LESS 4)
    string(REPEAT "0" 4 zeros)
    string(SUBSTRING "${zeros}${value}" ${length} 4 value)
  endif()
  set(${out} "0x${value}" PARENT_SCOPE)
endfunction()

# Appends "FROM-TO" to the caller's list LIST, unless the range is empty.
function(_tarvik_gap list from to)
  if(from LESS_EQUAL to)
    _tarvik_hex(from ${from})
    _tarvik_hex(to ${to})
    set(${list} ${${list}} "${from}-${to}" PARENT_SCOPE)
  endif()
endfunction()

# The address ranges a HEX or S-record file fills: the checks of what may be
# where, on srec_info's list "Data: FIRST - LAST" (sorted, merged), which
# follows the file's header text. Gives the count of program-memory bytes
# from the file and the ranges of it the file leaves to be filled.
function(_tarvik_check_ranges file info flash_bytes_out flash_gaps_out)
  string(FIND "${info}" "\nData:" at)
  if(at LESS 0)
    message(FATAL_ERROR "Firmware ${file}: the file holds no data")
  endif()
  string(SUBSTRING "${info}" ${at} -1 info)
  string(REGEX MATCHALL "[0-9A-Fa-f]+ - [0-9A-Fa-f]+" ranges "${info}")
  set(flash_bytes 0)
  set(flash_next ${TARVIK_FLASH_START})  # the first program-memory address not yet seen
  set(flash_gaps)
  set(eeprom_next ${TARVIK_EEPROM_START})  # the same for data memory
  set(eeprom_gaps)
  foreach(range IN LISTS ranges)
    string(REGEX MATCH "([0-9A-Fa-f]+) - ([0-9A-Fa-f]+)" _ "${range}")
    math(EXPR first "0x${CMAKE_MATCH_1}")
    math(EXPR last "0x${CMAKE_MATCH_2}")
    # The first address of the range in neither memory.
    set(at ${first})
    foreach(_ 1 2)
      if(at GREATER_EQUAL TARVIK_FLASH_START AND at LESS_EQUAL TARVIK_FLASH_LAST)
        math(EXPR at "${TARVIK_FLASH_LAST} + 1")
      elseif(at GREATER_EQUAL TARVIK_EEPROM_START AND at LESS_EQUAL TARVIK_EEPROM_LAST)
        math(EXPR at "${TARVIK_EEPROM_LAST} + 1")
      endif()
    endforeach()
    if(at LESS_EQUAL last)
      _tarvik_hex(at ${at})
      message(FATAL_ERROR "Firmware ${file}: a byte at ${at}, outside program memory "
              "(${TARVIK_FLASH_START}-${TARVIK_FLASH_LAST}) and data memory "
              "(${TARVIK_EEPROM_START}-${TARVIK_EEPROM_LAST})")
    endif()
    math(EXPR before "${first} - 1")
    if(first GREATER_EQUAL TARVIK_FLASH_START AND first LESS_EQUAL TARVIK_FLASH_LAST)
      math(EXPR flash_bytes "${flash_bytes} + ${last} - ${first} + 1")
      _tarvik_gap(flash_gaps ${flash_next} ${before})
      math(EXPR flash_next "${last} + 1")
    elseif(first GREATER_EQUAL TARVIK_EEPROM_START AND first LESS_EQUAL TARVIK_EEPROM_LAST)
      _tarvik_gap(eeprom_gaps ${eeprom_next} ${before})
      math(EXPR eeprom_next "${last} + 1")
    endif()
  endforeach()
  if(flash_bytes EQUAL 0)
    message(FATAL_ERROR "Firmware ${file}: no byte of program memory "
            "(${TARVIK_FLASH_START}-${TARVIK_FLASH_LAST})")
  endif()
  _tarvik_gap(eeprom_gaps ${eeprom_next} ${TARVIK_EEPROM_LAST})
  if(eeprom_gaps)
    list(JOIN eeprom_gaps ", " eeprom_gaps)
    message(FATAL_ERROR "Firmware ${file}: data memory (${TARVIK_EEPROM_START}-"
            "${TARVIK_EEPROM_LAST}) must be there whole; missing: ${eeprom_gaps}")
  endif()
  _tarvik_gap(flash_gaps ${flash_next} ${TARVIK_FLASH_LAST})
  set(${flash_bytes_out} ${flash_bytes} PARENT_SCOPE)
  set(${flash_gaps_out} "${flash_gaps}" PARENT_SCOPE)
endfunction()

function(_tarvik_check_size file size what)
  file(SIZE "${file}" actual)
  if(NOT actual EQUAL size)
    message(FATAL_ERROR "Firmware ${file}: ${actual} bytes; ${what} must be exactly ${size}")
  endif()
endfunction()

# Writes OUT_DIR/flash.bin and OUT_DIR/eeprom.bin from FIRMWARE, each only
# when its content changes, or stops with a message and leaves them as they were.
function(tarvik_import_firmware firmware out_dir)
  if(NOT EXISTS "${firmware}")
    message(FATAL_ERROR "Firmware ${firmware}: no such file or directory")
  endif()
  file(MAKE_DIRECTORY "${out_dir}")
  set(flash "${out_dir}/flash.bin.new")
  set(eeprom "${out_dir}/eeprom.bin.new")
  file(REMOVE "${flash}" "${eeprom}")

  if(IS_DIRECTORY "${firmware}")
    foreach(name flash eeprom)
      if(NOT EXISTS "${firmware}/${name}.bin" OR IS_DIRECTORY "${firmware}/${name}.bin")
        message(FATAL_ERROR "Firmware ${firmware}: no ${name}.bin in the directory")
      endif()
    endforeach()
    _tarvik_check_size("${firmware}/flash.bin" ${TARVIK_FLASH_SIZE} "program memory")
    _tarvik_check_size("${firmware}/eeprom.bin" ${TARVIK_EEPROM_SIZE} "data memory")
    file(COPY_FILE "${firmware}/flash.bin" "${flash}")
    file(COPY_FILE "${firmware}/eeprom.bin" "${eeprom}")
    set(flash_bytes ${TARVIK_FLASH_SIZE})
    set(flash_gaps)
  else()
    cmake_path(GET firmware EXTENSION LAST_ONLY extension)
    string(TOLOWER "${extension}" extension)
    if(extension MATCHES "^\\.(hex|ihx)$")
      set(format -intel)
    elseif(extension MATCHES "^\\.(s19|s28|s37|srec|mot)$")
      set(format -motorola)
    else()
      message(FATAL_ERROR "Firmware ${firmware}: unknown extension \"${extension}\"; give a "
              "directory with flash.bin and eeprom.bin, an Intel HEX file (.hex, .ihx) or an "
              "S-record file (.s19, .s28, .s37, .srec, .mot)")
    endif()
    foreach(tool srec_info srec_cat)
      find_program(TARVIK_${tool} ${tool})
      if(NOT TARVIK_${tool})
        message(FATAL_ERROR "Firmware ${firmware}: ${tool} is needed to read it "
                "(Debian package srecord)")
      endif()
    endforeach()
    _tarvik_check_text("${firmware}" ${format})
    _tarvik_srecord(info "${firmware}" ${TARVIK_srec_info} "${firmware}" ${format})
    _tarvik_check_ranges("${firmware}" "${info}" flash_bytes flash_gaps)
    # Overlapping records that disagree, named at their own addresses.
    _tarvik_srecord(_ "${firmware}" ${TARVIK_srec_cat} "${firmware}" ${format} -o - -motorola)
    _tarvik_srecord(_ "${firmware}" ${TARVIK_srec_cat} "${firmware}" ${format}
      -crop ${TARVIK_FLASH_START} ${TARVIK_FLASH_END}
      -fill 0x00 ${TARVIK_FLASH_START} ${TARVIK_FLASH_END}
      -offset -${TARVIK_FLASH_START} -o "${flash}" -binary)
    _tarvik_srecord(_ "${firmware}" ${TARVIK_srec_cat} "${firmware}" ${format}
      -crop ${TARVIK_EEPROM_START} ${TARVIK_EEPROM_END}
      -offset -${TARVIK_EEPROM_START} -o "${eeprom}" -binary)
    _tarvik_check_size("${flash}" ${TARVIK_FLASH_SIZE} "program memory")
    _tarvik_check_size("${eeprom}" ${TARVIK_EEPROM_SIZE} "data memory")
  endif()

  foreach(image "${flash}" "${eeprom}")
    string(REGEX REPLACE "\\.new$" "" final "${image}")
    file(COPY_FILE "${image}" "${final}" ONLY_IF_DIFFERENT)
    file(REMOVE "${image}")
  endforeach()
  set(filled "none filled")
  if(flash_gaps)
    list(JOIN flash_gaps ", " filled)
    set(filled "${filled} filled with 0x00")
  endif()
  message(STATUS "Firmware ${firmware}: program memory ${TARVIK_FLASH_START}-${TARVIK_FLASH_LAST}:"
          " ${flash_bytes} of ${TARVIK_FLASH_SIZE} bytes from the file, ${filled};"
          " data memory ${TARVIK_EEPROM_START}-${TARVIK_EEPROM_LAST}: ${TARVIK_EEPROM_SIZE} of"
          " ${TARVIK_EEPROM_SIZE} bytes from the file")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  tarvik_import_firmware("${FIRMWARE}" "${OUTPUT_DIR}")
endif()
