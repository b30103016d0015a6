# Fuzz targets of the network layer's parsers. Seeds: corpus/<target>/.
foreach(target fuzz_http_reply fuzz_agent_reply fuzz_ftp_reply fuzz_base64)
  add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp)
  target_link_libraries(${target} PRIVATE tesra_net)
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endforeach()
