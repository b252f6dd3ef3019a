# Runs tamra-grab as a test: checks its exit code and, when JSON is given, the summary it wrote.
# -DTOOL=<program> -DARGS=<;-list> -DEXPECT_EXIT=<code> [-DEMULATOR=<;-list>]
# [-DJSON=<file> [-DFRAMES=<count>] [-DFAST=1]]
# With the library's counters, a triggered run must account for every trigger as counted; a fast
# one (FAST) must show triggers merged while the producer was busy.
execute_process(COMMAND ${EMULATOR} ${TOOL} ${ARGS} RESULT_VARIABLE code OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT code EQUAL EXPECT_EXIT)
    message(FATAL_ERROR "exit ${code}, expected ${EXPECT_EXIT}\n${out}\n${err}")
endif()
if(EXPECT_EXIT EQUAL 0 AND NOT out MATCHES "frames delivered")
    message(FATAL_ERROR "no summary printed:\n${out}")
endif()
if(NOT EXPECT_EXIT EQUAL 0 AND err STREQUAL "")
    message(FATAL_ERROR "failed without saying why")
endif()
if(JSON)
    file(READ ${JSON} summary)
    string(JSON ok GET "${summary}" ok)
    string(JSON triggers GET "${summary}" phases 0 triggers)
    string(JSON delivered GET "${summary}" phases 0 delivered)
    string(JSON samples GET "${summary}" phases 0 latencyMs samples)
    if(NOT ok OR delivered EQUAL 0 OR samples EQUAL 0)
        message(FATAL_ERROR "run failed or delivered nothing:\n${summary}")
    endif()
    if(FRAMES AND NOT triggers EQUAL FRAMES)
        message(FATAL_ERROR "${triggers} triggers given, ${FRAMES} asked:\n${summary}")
    endif()
    string(JSON given ERROR_VARIABLE missing GET "${summary}" triggers_given)
    if(NOT missing)
        foreach(key triggers_merged frames_delivered frames_dropped frames_discarded_at_stop)
            string(JSON ${key} GET "${summary}" ${key})
        endforeach()
        math(EXPR accounted
            "${frames_delivered} + ${frames_dropped} + ${frames_discarded_at_stop} + ${triggers_merged}")
        if(NOT given EQUAL accounted OR NOT given EQUAL triggers OR
           NOT frames_delivered EQUAL delivered)
            message(FATAL_ERROR "the library's counters do not add up:\n${summary}")
        endif()
        if(FAST AND triggers_merged EQUAL 0)
            message(FATAL_ERROR "no trigger merged at 3000 per second:\n${summary}")
        endif()
    endif()
endif()
