// The script interpreter on long texts: one text operation timed with the package's
// millisecond clock, run by bench/script_text_bench.py beside Python doing the same work.
//   nimbus-host run long_texts.4dm OPERATION UNITS REPEATS
// The text is UNITS copies of a 40-byte POP3-style line that starts with "..", so it holds
// UNITS matches of CR LF "..": 10000 units make 0.4 MB.
//   replace   Replace string($text;CR LF "..";CR LF ".") REPEATS times (undoing dot-stuffing)
//   position  every match found with Position(CR LF "..";$text;$start), REPEATS times
//   bytes     every byte read with Character code(Substring($text;$i;1)), REPEATS times
// Prints "ms N" (the time of all repeats) and "check X" (a value the driver compares with
// Python's).
$operation:=$1
$units:=Num($2)
$repeats:=Num($3)
$crlf:=Char(13)+Char(10)
$line:="..a dot-stuffed line, forty bytes long"+$crlf
C_TEXT($text)
For ($i;1;$units)
  $text:=$text+$line
End for
$text:=$crlf+$text

$check:=0
$start:=TimerStart
For ($r;1;$repeats)
  Case of
    : ($operation="replace")
      $out:=Replace string($text;$crlf+"..";$crlf+".")
      $check:=Length($out)
    : ($operation="position")
      $check:=0
      $at:=Position($crlf+"..";$text)
      While ($at>0)
        $check:=$check+1
        $at:=Position($crlf+"..";$text;$at+3)
      End while
    : ($operation="bytes")
      $check:=0
      For ($i;1;Length($text))
        $check:=$check+Character code(Substring($text;$i;1))
      End for
  End case
End for
$ms:=TimerElapsed($start)
LOG("ms "+String($ms))
LOG("check "+String($check))
