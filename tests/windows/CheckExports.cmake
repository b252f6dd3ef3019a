# Checks the export and import tables of Tamra.dll: the two C functions under their plain names,
# members, virtual tables and type information of the public classes (those declared with
# TAMRA_API in the headers) and nothing else; imports from system DLLs only.
#   cmake -DDLL=<Tamra.dll> -DOBJDUMP=<objdump> -DCXXFILT=<c++filt> -DHEADERS=<include/tamra>
#         -P CheckExports.cmake
cmake_policy(VERSION 3.25)

foreach(variable DLL OBJDUMP CXXFILT HEADERS)
    if(NOT ${variable})
        message(FATAL_ERROR "${variable} not given")
    endif()
endforeach()

set(kSystemDlls KERNEL32.dll msvcrt.dll SHELL32.dll USER32.dll)
set(kCFunctions TamraGrabInstantiate TamraGrabDelete)

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE table RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

file(GLOB headers ${HEADERS}/*.h)
set(publicClasses "")
foreach(header IN LISTS headers)
    file(STRINGS ${header} declarations REGEX "^class TAMRA_API [A-Za-z0-9_]+")
    foreach(declaration IN LISTS declarations)
        string(REGEX REPLACE "^class TAMRA_API ([A-Za-z0-9_]+).*" "\\1" name "${declaration}")
        list(APPEND publicClasses ${name})
    endforeach()
endforeach()
list(LENGTH publicClasses classCount)
if(classCount LESS 3)
    message(FATAL_ERROR "found only ${classCount} exported classes in ${HEADERS}")
endif()

set(problems "")

# Imports: "DLL Name: X" lines.
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${table}")
foreach(line IN LISTS imports)
    string(REGEX REPLACE "DLL Name: " "" name "${line}")
    string(STRIP "${name}" name)
    list(APPEND importNames ${name})
    if(NOT name IN_LIST kSystemDlls)
        string(APPEND problems "imports ${name}, which is not a system DLL\n")
    endif()
endforeach()

# Exports: the lines after "[Ordinal/Name Pointer] Table" up to the first empty line.
string(FIND "${table}" "[Ordinal/Name Pointer] Table" start)
if(start EQUAL -1)
    message(FATAL_ERROR "${DLL} has no export table")
endif()
string(SUBSTRING "${table}" ${start} -1 exportPart)
string(REGEX REPLACE "\n\n.*" "" exportPart "${exportPart}")
string(REGEX MATCHALL "[[] *[0-9]+[]] [^\n]+" exportLines "${exportPart}")
set(exports "")
foreach(line IN LISTS exportLines)
    string(REGEX REPLACE "^[[] *[0-9]+[]] " "" name "${line}")
    list(APPEND exports ${name})
endforeach()

list(JOIN exports "\n" mangled)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/exports.txt "${mangled}\n")
execute_process(COMMAND ${CXXFILT} INPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/exports.txt
    OUTPUT_VARIABLE demangled RESULT_VARIABLE failed)
string(REGEX REPLACE "\n$" "" demangled "${demangled}")
string(REPLACE "\n" ";" demangled "${demangled}")

list(JOIN publicClasses "|" classPattern)
set(allowed "^((vtable|typeinfo|typeinfo name) for )?(${classPattern})(::|$)")
set(seenClasses "")
foreach(name IN LISTS demangled)
    if(name IN_LIST kCFunctions)
        list(APPEND seenFunctions ${name})
    elseif(name MATCHES "${allowed}")
        list(APPEND seenClasses ${CMAKE_MATCH_3})
    else()
        string(APPEND problems "exports ${name}, which is not part of the public interface\n")
    endif()
endforeach()
foreach(function IN LISTS kCFunctions)
    if(NOT function IN_LIST seenFunctions)
        string(APPEND problems "does not export ${function} under its plain name\n")
    endif()
endforeach()
foreach(class IN LISTS publicClasses)
    if(NOT class IN_LIST seenClasses)
        string(APPEND problems "exports nothing of class ${class}\n")
    endif()
endforeach()

list(LENGTH demangled exportCount)
if(problems)
    message(FATAL_ERROR "${DLL}:\n${problems}")
endif()
message(STATUS "${DLL}: ${exportCount} exports from ${classCount} public classes and the C "
    "functions; imports: ${importNames}")
