# The wizard window: TForm1 and the small widgets and helpers it is built
# from. Kept apart from the welcome-text targets of this directory.
add_library(tarvik_window STATIC
  Update_Main.cpp
  Update_Main.h
  Update_Main_layout.cpp
  Update_Main_navigation.cpp
  glyph_label.cpp
  glyph_label.h
  page_container.cpp
  page_container.h
  page_texts.cpp
  page_texts.h
  text_fit.cpp
  text_fit.h
  text_list.cpp
  text_list.h
  window_fonts.cpp
  window_fonts.h
)
if(WIN32)
  # The native window: device-change messages, the registration for them
  # and the fixed border.
  target_sources(tarvik_window PRIVATE Update_Main_win32.cpp device_window_win32.cpp
                                       device_window_win32.h)
  target_link_libraries(tarvik_window PRIVATE user32)
endif()
set_target_properties(tarvik_window PROPERTIES AUTOMOC ON)
target_include_directories(tarvik_window PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR})
target_link_libraries(tarvik_window PUBLIC Qt6::Widgets tarvik_update_engine tarvik_welcome_text)
tarvik_warnings(tarvik_window)
