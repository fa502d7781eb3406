# tarvik_rtf: the rich-text reader and the code-page tables, free of Qt.
# Included by this directory's CMakeLists.txt and by the reader's tests and
# fuzz target, so that those exist in builds without the window as well;
# whoever comes first defines the target.
if(NOT TARGET tarvik_rtf)
  add_library(tarvik_rtf STATIC
    ${CMAKE_CURRENT_LIST_DIR}/cp1251.cpp ${CMAKE_CURRENT_LIST_DIR}/cp1251.h
    ${CMAKE_CURRENT_LIST_DIR}/rtf_reader.cpp ${CMAKE_CURRENT_LIST_DIR}/rtf_reader.h)
  target_include_directories(tarvik_rtf PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_compile_features(tarvik_rtf PUBLIC cxx_std_20)
  tarvik_warnings(tarvik_rtf)
endif()
