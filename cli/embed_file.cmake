# Writes a C++ source defining qv7::cli::<SYMBOL> (the bytes of IN) and <SYMBOL>Size, so a file kept in the
# tree is compiled into the program instead of copied into it by hand.
# usage: cmake -DIN=file -DOUT=file.cpp -DSYMBOL=name -DHEADER=cli/x.h -P embed_file.cmake
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
# Sixteen bytes a line keeps the generated file readable in a debugger.
string(REGEX REPLACE "(('[^']*',){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUT}.tmp"
     "// Generated from ${IN} by cli/embed_file.cmake; edit that file, not this one.\n"
     "#include \"${HEADER}\"\n\n"
     "namespace qv7::cli {\n\n"
     "const char ${SYMBOL}[] = {\n    ${bytes}'\\0'};\n"
     "const std::size_t ${SYMBOL}Size = ${size};\n\n"
     "}  // namespace qv7::cli\n")
# Rewritten only when it changed, so an unchanged rule file does not rebuild the program.
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
