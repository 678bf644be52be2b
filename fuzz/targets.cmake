# Fuzz targets, grouped by the area whose reader they drive; corpus in corpus/<target name>/.
foreach(area platform sim monitor link moxtel installer)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${area}.cmake)
        include(${CMAKE_CURRENT_SOURCE_DIR}/${area}.cmake)
    endif()
endforeach()
