# Resources.cmake: ce_add_resources(), which compiles a program's or library's pictures into
# it as resource tables (platform/include/ceresource.h), the way the device's resource
# compiler links a resource script into a module.
#
#   ce_add_resources(zvSettings
#     BITMAPS 101=res/splash.png btn_normal=res/btn_normal.png
#     ICONS 200=res/clock16.png,res/clock32.png)
#
# Each BITMAPS entry is ID=file.png, each ICONS entry ID=file.png[,file.png...] with one file
# per size. ID is a number (MAKEINTRESOURCE) or a name. Relative paths are taken from the
# calling folder. cerc (simulator/rescomp) writes <target>_resources.cpp into the calling
# folder's build folder, which joins the target's sources and registers its table when the
# module loads. Call it once per target, from the folder that defines the target.
function(ce_add_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 RES "" "" "BITMAPS;ICONS")
  if(RES_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "ce_add_resources: unexpected arguments ${RES_UNPARSED_ARGUMENTS}")
  endif()
  set(args)
  set(inputs)
  foreach(kind BITMAPS ICONS)
    if(kind STREQUAL "BITMAPS")
      set(flag --bitmap)
    else()
      set(flag --icon)
    endif()
    foreach(entry IN LISTS RES_${kind})
      string(FIND "${entry}" "=" eq)
      if(eq LESS 1)
        message(FATAL_ERROR "ce_add_resources: expected ID=file.png, got ${entry}")
      endif()
      string(SUBSTRING "${entry}" 0 ${eq} id)
      math(EXPR start "${eq} + 1")
      string(SUBSTRING "${entry}" ${start} -1 files)
      string(REPLACE "," ";" files "${files}")
      set(absolute)
      foreach(file IN LISTS files)
        get_filename_component(file "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        list(APPEND absolute "${file}")
        list(APPEND inputs "${file}")
      endforeach()
      string(REPLACE ";" "," absolute "${absolute}")
      list(APPEND args ${flag} "${id}=${absolute}")
    endforeach()
  endforeach()
  get_target_property(done ${target} CE_RESOURCES_ADDED)
  if(done)
    message(FATAL_ERROR "ce_add_resources: ${target} has its resources already; list them in one call")
  endif()
  set_target_properties(${target} PROPERTIES CE_RESOURCES_ADDED TRUE)
  set(output "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND cerc --output "${output}" ${args}
    DEPENDS cerc ${inputs}
    COMMENT "Compiling the pictures of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE "${output}")
endfunction()
