// text-conversions: the package's text routines on one Mac Roman text, and the Internet
// date texts.
//
//   nimbus-host run examples/text-conversions.4dm
//
// Bytes outside printable ASCII are shown as \xHH.

$mac:="Cr"+Char(143)+"me br"+Char(158)+"l"+Char(142)+"e & <caf"+Char(142)+">"+Char(13)+"50% off"
LOG("Mac Roman:     "+Shown($mac))
$iso:=MacToISO($mac)
LOG("ISO-8859-1:    "+Shown($iso))
LOG("and back:      "+Shown(ISOToMac($iso))+"  same: "+String(ISOToMac($iso)=$mac))
$html:=TextToHTML($mac;0)
LOG("HTML:          "+Shown($html))
LOG("from HTML:     "+Shown(HTMLToText($html;0)))
LOG("tags removed:  "+Shown(HTMLToText("<p>Cr&egrave;me <b>br&ucirc;l&eacute;e</b></p>";2)))
$url:=TextToURL($mac;0)
LOG("URL (form):    "+$url)
LOG("from URL:      "+Shown(URLToText($url;0)))
LOG("URL (path):    "+TextToURL("/a folder/caf"+Char(142)+".html";1))
LOG("quoted:        "+Shown(URLToText("caf=E9 =3D 100%";-1)))

// Dates: seconds on the host's clock (from 1904; from 19 January 1972 on they pass 2^31 and
// read as negative longints, the same 32 bits), and their Internet texts.
$seconds:=DateTimeToSeconds(!1994-11-06!;(8*3600)+(49*60)+37;0)
LOG("seconds:       "+String($seconds))
LOG("date text:     "+SecondsToDateText($seconds;1))
LOG("read back:     "+String(DateTextToSeconds("Sunday, 06-Nov-94 08:49:37 GMT";0)=$seconds))
LOG("from EST:      "+String(DateTextToSeconds("Sun, 6 Nov 1994 03:49:37 EST";0)=$seconds))
LOG("compact form:  "+String(DateTextToSeconds("941106084937Z";1)=$seconds))
SecondsToDateTime($seconds+86400;$date;$time;1)
LOG("a day later:   "+String($date)+" at "+String($time\3600)+":"+String(($time%3600)\60))


// The text $1 with every byte outside printable ASCII written \xHH.
Method Shown
  $digits:="0123456789ABCDEF"
  $0:=""
  For ($i;1;Length($1))
    $code:=Character code(Substring($1;$i;1))
    If (($code<32) | ($code>126))
      $0:=$0+"\\x"+Substring($digits;($code\16)+1;1)+Substring($digits;($code%16)+1;1)
    Else
      $0:=$0+Substring($1;$i;1)
    End if
  End for
End method
