# Writes the default bench file into a C++ source as a string constant.
file(READ ${IN} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUT} "// Generated from default_bench.yaml.\nnamespace ortav::sim {\nnamespace {\nconst unsigned char bytes[] = {${bytes}0x00};\n}\nextern const char *const kDefaultBenchYaml = reinterpret_cast<const char *>(bytes);\n}\n")
