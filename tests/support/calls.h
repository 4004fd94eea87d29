// Word calls as data: a case file holds calls of the words and what each must
// give, one case a line, run in order on one bench (a sample workstation, a
// host, a working folder), like the statements of one macro.
//
//   # a comment
//   Left$ "abc", 1.5                 => = "ab"
//   Space$ 131                       => error 1011(#1, 0, 130)
//   GetToken "a,b,c", ",", 2, T$     => T$ = "b"
//   let T$ = "stale"                    (a variable before the next calls)
//   unset T$
//   write "{W}\a.ini" = "[A]" + CRLF    (a file, its folders made)
//   hold "{W}\a.ini"                    (held open, unshared, to the file's end;
//                                        hold "..." readable: others may read it)
//   env NAME = "value"                  (an environment variable)
//   answer IDOK                         (the button that answers dialogs)
//
// A line that starts with blanks goes on with the line before it.
// Arguments: "text" (UTF-8, "" for a quote, {R} {M} {D} {X} {Q} {W} {K} {H}
// {P} {I} are the bench's places), "x" * 129 (a repetition), <0d0a> (bytes),
// CRLF, LF, TAB, joined with +; a number (nan, inf, -inf too; a text for a number
// parameter is read as one, so "{H}" is the host window); ~ omitted; a bare
// NAME is the name as a text (for variable parameters).
// Expectations after =>, separated by commas (none at all: status 0 and
// nothing raised):
//   = VALUE                the result (a text or a number)
//   status N               the status (1 when an error is expected, else 0)
//   error ID(INSERTS)      the raised error: the catalogue text ID filled with
//                          INSERTS (#n the n-th parameter's label, numbers for
//                          %d, texts for %s); error ID(*) that text with
//                          anything in its places; error "TEXT" a text of its
//                          own (error "": raised with an empty text)
//   shown ID(INSERTS)      a text the word showed (message box, dialog, host, notice)
//   kind N "TEXT"          a text raised with another kind (9: a status text)
//   NAME = VALUE           a variable afterwards: a text, a number, [1, 2] a
//                          table; NAME missing; NAME like "TEXT" (any case)
//   file "PATH" = BYTES    a file afterwards; file "PATH" missing (no file
//                          matches, when PATH has wildcards);
//   file "PATH" unchanged  the same bytes and time stamp as before the call
//   file "PATH" adds ["LINE", ...]   the lines the call appended to the file, in
//                          order, each starting with its LINE (* in it stands
//                          for any run of characters); adds [] none
//   reg "KEY" NAME = TYPE BYTES   a registry value (HKCU\ or HKLM\ before the
//                          key; TYPE REG_SZ, REG_DWORD ...); reg "KEY" NAME missing
// A line that cannot be read fails the file, and so does a file without cases.
#pragma once
#include <string>

#include "wordcalls.h"

namespace mcrtest {

// Runs every case of the file on the bench, reporting each failure with the
// file's name and line.
void RunCaseFile(const std::string& path, Bench& bench);

}  // namespace mcrtest
