# Writes the manual page of vistrel-batch from the plain-text manual in the README, so that the
# text is kept in one place. Usage:
#   awk -v version=VERSION -v date=YYYY-MM-DD -v out=vistrel-batch.1 -f readme-to-man.awk README.md
# The README block follows a few layout rules, which this turns into roff:
#   SECTION NAMES   in capitals at the margin;
#   text            indented four spaces; a blank line ends a paragraph;
#   --option ARG    an item at four spaces: the tag, two or more spaces, its description, and
#   0               continuation lines indented deeper (exit statuses look the same);
#   examples        lines indented eight spaces or more after a text line, kept as they are.

# Roff-safe text: backslashes escaped, hyphens that start an option made minus signs, and a
# leading full stop or apostrophe kept from reading as a request.
function esc(s,    r, i, c, before) {
  gsub(/\\/, "\\e", s)
  r = ""
  before = " "
  for (i = 1; i <= length(s); i++) {
    c = substr(s, i, 1)
    if (c == "-" && (before == " " || before == "-" || before == "(" || before == "[" || \
                     before == "\"" || before == "|")) {
      r = r "\\-"
    } else {
      r = r c
    }
    before = c
  }
  if (r ~ /^[.']/) {
    r = "\\&" r
  }
  return r
}

function emit(line) {
  print line > out
}

function endExample() {
  if (mode == "example") {
    emit(".fi")
    emit(".RE")
    mode = "blank"
  }
}

BEGIN {
  if (out == "" || version == "" || date == "") {
    print "readme-to-man.awk: set out, version and date" > "/dev/stderr"
    failed = 1
    exit 1
  }
}

/^## vistrel-batch/ { heading = 1; next }
heading && !inside && /^```/ {
  inside = 1
  emit(".TH VISTREL\\-BATCH 1 \"" date "\" \"Vistrel " version "\" \"User Commands\"")
  next
}
inside && /^```/ { endExample(); inside = 0; heading = 0; found = 1; next }
!inside { next }

/^[ \t]*$/ {
  endExample()
  if (mode != "start") {
    mode = "blank"
  }
  next
}

/^[A-Z][A-Z ]*$/ {
  endExample()
  section = $0
  emit(".SH " section)
  mode = "start"
  next
}

{
  match($0, /^ */)
  indent = RLENGTH
  text = substr($0, indent + 1)
}

section == "NAME" {
  emit(esc(text))
  next
}

section == "SYNOPSIS" && indent == 4 {
  split(text, word, " ")
  emit(".B " esc(word[1]))
  emit(esc(substr(text, length(word[1]) + 2)))
  next
}

indent == 4 && match(text, /^(-[^ ]+( [A-Z]+)?|[0-9]+)  +/) {
  endExample()
  tag = substr(text, 1, RLENGTH)
  sub(/ +$/, "", tag)
  description = substr(text, RLENGTH + 1)
  n = split(tag, part, " ")
  emit(".TP")
  emit(n == 2 ? ".BI \"" esc(part[1]) " \" " esc(part[2]) : ".B " esc(part[1]))
  emit(esc(description))
  mode = "item"
  next
}

indent == 4 {
  endExample()
  if (mode == "item" || mode == "blank") {
    emit(".PP")
  }
  emit(esc(text))
  mode = "text"
  next
}

mode == "item" {
  emit(esc(text))
  next
}

{
  if (mode != "example") {
    emit(".RS 4")
    emit(".nf")
    mode = "example"
  }
  emit(esc(substr($0, 9)))
}

END {
  if (failed) {
    exit 1
  }
  if (!found) {
    print "readme-to-man.awk: no vistrel-batch manual found in the input" > "/dev/stderr"
    exit 1
  }
  close(out)
}
