# tamra-grab on a folder a new user brings: PNG files, a version-5 bitmap, a 4-bit bitmap, a
# truncated bitmap and a sub-folder. The run converts the folder once, reports it before the first
# frame and plays the pictures; "convert" alone writes the same tree.
# -DTOOL=<tamra-grab> -DMAKE_FOLDER=<generator> -DWORK=<scratch folder>
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${MAKE_FOLDER} ${WORK}/mixed RESULT_VARIABLE code)
if(NOT code EQUAL 0)
    message(FATAL_ERROR "cannot write the mixed folder")
endif()
set(ENV{XDG_CACHE_HOME} ${WORK}/cache)
execute_process(COMMAND ${TOOL} ${WORK}/mixed --cameras 2 --frames 6 --progress never
                        --json ${WORK}/run.json
                RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT code EQUAL 0)
    message(FATAL_ERROR "exit ${code}\n${out}\n${err}")
endif()
# Before the run: the folder as the library reads it.
foreach(expected "converted .*a10.png" "converted .*v5.bmp \\(124-byte header\\)"
                 "converted .*four.bmp \\(4-bit pixels\\)" "Cam1  MISSING" "NOT READ .*sub: 1 image")
    if(NOT out MATCHES "${expected}")
        message(FATAL_ERROR "the report lacks '${expected}':\n${out}")
    endif()
endforeach()
string(FIND "${out}" "folder  " report)
string(FIND "${out}" "software trigger:" summary)
if(report EQUAL -1 OR report GREATER summary)
    message(FATAL_ERROR "the folder report does not come before the run:\n${out}")
endif()

file(READ ${WORK}/run.json json)
string(JSON files LENGTH "${json}" conversion files)
if(NOT files EQUAL 6)
    message(FATAL_ERROR "expected 6 files in the conversion:\n${json}")
endif()
# Numeric order survives: a2 plays before a10, and every written file has the 40-byte header.
string(JSON second GET "${json}" conversion files 1 target)
string(JSON third GET "${json}" conversion files 2 target)
if(NOT second MATCHES "0002_a2.bmp$" OR NOT third MATCHES "0003_a10.bmp$")
    message(FATAL_ERROR "numeric order lost: ${second}, ${third}")
endif()
math(EXPR last "${files} - 1")
foreach(i RANGE ${last})
    string(JSON target GET "${json}" conversion files ${i} target)
    file(READ ${target} header OFFSET 14 LIMIT 4 HEX)
    if(NOT header STREQUAL "28000000")
        message(FATAL_ERROR "${target} has no 40-byte header (${header})")
    endif()
endforeach()
# With the library's file check, the truncated bitmap is named with its reason.
string(JSON checked GET "${json}" folderReport checked)
if(checked)
    string(JSON standIn GET "${json}" folderReport standIns 0 file)
    string(JSON reason GET "${json}" folderReport standIns 0 reason)
    if(NOT standIn MATCHES "truncated.bmp$" OR reason STREQUAL "")
        message(FATAL_ERROR "the truncated bitmap is not reported:\n${json}")
    endif()
    string(JSON source GET "${json}" frames 0 planes 0 source)
    string(JSON substituted GET "${json}" frames 0 planes 0 substituted)
    if(NOT source MATCHES "0001_a1.bmp$" OR substituted)
        message(FATAL_ERROR "the first frame does not play the first picture:\n${json}")
    endif()
endif()

# A second run finds the converted tree in the cache.
execute_process(COMMAND ${TOOL} ${WORK}/mixed --frames 2 --progress never
                RESULT_VARIABLE code OUTPUT_VARIABLE out)
if(NOT code EQUAL 0 OR NOT out MATCHES "\\(cached\\)")
    message(FATAL_ERROR "the conversion was not reused:\n${out}")
endif()

# convert alone, then refused onto a folder that is not empty.
execute_process(COMMAND ${TOOL} convert ${WORK}/mixed ${WORK}/converted RESULT_VARIABLE code)
if(NOT code EQUAL 0 OR NOT EXISTS ${WORK}/converted/0003_a10.bmp)
    message(FATAL_ERROR "convert failed (${code})")
endif()
execute_process(COMMAND ${TOOL} convert ${WORK}/mixed ${WORK}/converted RESULT_VARIABLE code
                ERROR_VARIABLE err)
if(NOT code EQUAL 2 OR NOT err MATCHES "not empty")
    message(FATAL_ERROR "convert wrote into a folder that is not empty (${code}): ${err}")
endif()
file(REMOVE_RECURSE ${WORK})
