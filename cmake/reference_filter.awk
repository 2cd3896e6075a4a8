# Input filter of the reference build (cmake/reference.cmake): turns the headers' plain //
# comments into the documentation comments the generator reads, line for line (line numbers
# stay as in the source).
#
# - A comment block whose last line lies directly above a line of code documents that code:
#   its lines become /// lines. Blocks followed by a blank line (section titles) stay plain.
# - The block at the top of a file, directly above "#pragma once", documents the file: the
#   pragma line becomes "/// @file".
# - A comment after a declaration or enumerator on the same line ("int x; // ...") documents it.

function flush(as_doc,    i, line) {
    for (i = 1; i <= pending; ++i) {
        line = block[i]
        if (as_doc && line !~ /^[ \t]*\/\/\//) sub(/\/\//, "///", line)
        print line
    }
    pending = 0
}

{
    sub(/\r$/, "")
}

/^[ \t]*\/\// {
    block[++pending] = $0
    next
}

{
    if (pending > 0) {
        if (!seen_code && $0 ~ /^[ \t]*#[ \t]*pragma[ \t]+once/) {
            flush(1)
            print "/// @file"
            seen_code = 1
            next
        }
        flush($0 ~ /^[ \t]*[^ \t#}]/)
    }
    if ($0 ~ /[^ \t]/) seen_code = 1
    if ($0 !~ /"/ && $0 !~ /\/\/\// && match($0, /[;,][ \t]*\/\/[ \t]?/)) {
        $0 = substr($0, 1, RSTART) " ///< " substr($0, RSTART + RLENGTH)
    }
    print
}

END {
    flush(0)
}
