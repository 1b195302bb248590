# Writes OUTPUT, a C++ file that holds each of FILES (a ;-list) as bytes and
# a table to find them by "/file name". Run at build time by panel_host_web.
# FILES is separated by "|", which survives the shell.
string(REPLACE "|" ";" FILES "${FILES}")
set(table "")
set(arrays "")
set(index 0)
foreach(file ${FILES})
  get_filename_component(name ${file} NAME)
  file(READ ${file} hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(APPEND arrays "const unsigned char asset${index}[] = {${bytes}0x00};\n")
  string(APPEND table "    {\"/${name}\", asset${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new "// Generated from panel_host/web/assets by embed_assets.cmake; do not edit.
#include \"web/page_assets.h\"

namespace {
${arrays}
const page_asset assets[] = {
${table}};
}  // namespace

const page_asset* findPageAsset(const std::string& path)
{
    for (const auto& asset : assets)
        if (path == asset.path)
            return &asset;
    return nullptr;
}
")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUTPUT}.new ${OUTPUT})
