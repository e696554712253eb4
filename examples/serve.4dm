// serve: a small web server built from the package's streams.
//
//   nimbus-host run examples/serve.4dm [PORT [SITE [REQUESTS [SECONDS [LISTENERS]]]]]
//
// Serves the files of SITE (default: the site folder beside this script) on 127.0.0.1:PORT
// (default 8080). LISTENERS processes (default 8) each keep a stream listening on the port,
// so that several requests are served at once. When the last waiting stream takes its
// connection, the listening socket closes and connections beyond the listener count are
// reset: give at least as many listeners as clients connect at once. Stops after REQUESTS requests or SECONDS
// seconds (0, the default, means never: stop it with Ctrl-C). Prints one line a request.

C_LONGINT($port;$requests;$seconds;$listeners)
C_TEXT($site)
$port:=8080
$site:=Script folder+"site/"
$requests:=0
$seconds:=0
$listeners:=8
If (Count parameters>=1)
  $port:=Num($1)
End if
If (Count parameters>=2)
  If ($2#"")
    $site:=$2
    If (Substring($site;Length($site))#"/")
      $site:=$site+"/"
    End if
  End if
End if
If (Count parameters>=3)
  $requests:=Num($3)
End if
If (Count parameters>=4)
  $seconds:=Num($4)
End if
If (Count parameters>=5)
  $listeners:=Num($5)
End if

$address:=NameToAddress("127.0.0.1";0;0)
$logo:=MakeLogo
If (BLOB size($logo)=0)
  LOG("serve: the logo could not be made; /logo.gif will answer 404")
End if

// The served requests are counted in a queue that all listeners share.
$served:=$port
QueueClear($served)
$started:=TimerStart

LOG("serving "+$site+" at http://127.0.0.1:"+String($port)+"/ with "+String($listeners)+" listening streams")
For ($i;1;$listeners)
  $p:=New process("Listener";0;"listener "+String($i);$port;$address;$site;$logo;$requests;$seconds;$started;$served)
End for
// The main method ends here; the run goes on until every listener has stopped.


// One listening stream after another on the port: each connection is served, and a new
// stream starts listening as soon as one is taken, so the port never stops listening.
Method Listener
  C_LONGINT($port;$address;$requests;$seconds;$started;$served)
  C_TEXT($site)
  C_BLOB($logo)
  $port:=$1
  $address:=$2
  $site:=$3
  $logo:=$4
  $requests:=$5
  $seconds:=$6
  $started:=$7
  $served:=$8
  $buffer:=32767  // the largest socket buffers a stream can have: files leave faster

  $ref:=StreamListen(0;0;$port;$buffer;0;0;$address)
  If ($ref=0)
    LOG("serve: cannot listen on 127.0.0.1:"+String($port))
  End if
  $done:=($ref=0)
  $lastServed:=TimerStart-1000000  // long ago: the listener starts idle
  While (Not($done))
    // While requests keep coming (one served in the last 100 ms), the listener only gives
    // the others a turn between looks, so a new connection is answered at once; otherwise
    // it naps between looks, two ticks and after a second without requests six, which
    // keeps an idle server idle.
    $state:=StreamState($ref;0)
    If ($state<8)
      $idle:=TimerElapsed($lastServed)
      Case of
        : ($idle<100)
          IDLE
        : ($idle<1000)
          DELAY PROCESS(Current process;2)
        Else
          DELAY PROCESS(Current process;6)
      End case
    Else
      $lastServed:=TimerStart
      $next:=StreamListen(0;0;$port;$buffer;0;0;$address)
      If ($state=8)
        $logLine:=Respond($ref;$site;$logo)
        If ($logLine#"")  // not a connection closed without a request
          LOG($logLine)
          QueuePush($served;"served")
        End if
      End if
      $status:=StreamClose($ref)
      $status:=StreamRelease($ref;0)
      $ref:=$next
    End if
    $done:=($ref=0)
    If (($requests>0) & (QueueCount($served)>=$requests))
      $done:=True
    End if
    If (($seconds>0) & (TimerElapsed($started)>=($seconds*1000)))
      $done:=True
    End if
  End while
  If ($ref#0)
    $status:=StreamRelease($ref;0)
  End if
End method


// Reads one request on the stream $1 and answers it from the site folder $2 (or with the
// logo $3). Answers the log line, or "" when the client closed without a request.
Method Respond
  $ref:=$1
  $site:=$2
  $cr:=Char(13)

  // The head of the request, read with conversion 10: ISO-8859-1 to Mac Roman, CR LF to
  // CR. A CR LF split between two reads leaves a lone LF: those are dropped.
  $head:=""
  $chunk:=""
  $start:=TimerStart
  Repeat
    $n:=StreamReceiveText($ref;$chunk;0;10)
    If ($n>0)
      $head:=Replace string($head+$chunk;Char(10);"")
    Else
      If ($n<0)  // nothing yet: look again soon, then less often
        If (TimerElapsed($start)<100)
          IDLE
        Else
          DELAY PROCESS(Current process;1)
        End if
      End if
    End if
  Until ((Position($cr+$cr;$head)>0) | ($n=0) | (StreamState($ref;0)>=14) | (TimerElapsed($start)>10000) | (Length($head)>16000))

  If ($head="")
    $0:=""
  Else
    $0:=Answer($ref;$site;$3;$head)
  End if
End method


// Answers the request whose head is $4 on the stream $1, from the site folder $2 (or with
// the logo $3). Answers the log line.
Method Answer
  $ref:=$1
  $site:=$2
  $cr:=Char(13)
  // The client, taken while it is connected: one that hangs up before the answer is
  // complete has no peer address any more.
  StreamAddresses($ref;$remote;$remotePort;$localPort;$unused;$local)
  If ($remotePort<0)
    $remotePort:=$remotePort+65536  // ports come back as signed integers
  End if
  $head:=$4
  $line:=$head
  If (Position($cr;$line)>0)
    $line:=Substring($line;1;Position($cr;$line)-1)
  End if
  $method:=Substring($line;1;Position(" ";$line)-1)
  $target:=Substring($line;Length($method)+2)
  If (Position(" ";$target)>0)
    $target:=Substring($target;1;Position(" ";$target)-1)
  End if
  $path:=$target
  If (Position("?";$path)>0)
    $path:=Substring($path;1;Position("?";$path)-1)
  End if
  $path:=URLToText($path;1)
  If (Substring($path;Length($path))="/")
    $path:=$path+"index.html"
  End if

  $code:=200
  $file:=$site+Substring($path;2)
  Case of
    : (($method#"GET") & ($method#"HEAD"))
      $code:=501
    : ((Substring($path;1;1)#"/") | (Position("..";$path)>0) | (Position("\\";$path)>0))
      $code:=400
    : ($path="/logo.gif")
      If (BLOB size($3)=0)
        $code:=404
      End if
    : (Test path name($file)#1)
      $code:=404
  End case

  If ($code=200)
    If ($path="/logo.gif")
      $length:=BLOB size($3)
    Else
      $length:=Get document size($file)
    End if
    $status:=StreamSendText($ref;Head(200;ContentType($path);$length);1;5)
    If ($method#"HEAD")
      If ($path="/logo.gif")
        $status:=StreamSendPicture($ref;$3;0;0)
      Else
        $status:=StreamSendFile($ref;$file;0;32767)
      End if
    End if
  Else
    $body:="<html><body><h1>"+String($code)+" "+Reason($code)+"</h1></body></html>"+Char(10)
    $length:=Length($body)
    $status:=StreamSendText($ref;Head($code;"text/html";$length);1;5)
    If ($method#"HEAD")
      $status:=StreamSendText($ref;$body;0;1)
    End if
  End if

  $0:=AddressToName($remote;2;0)+":"+String($remotePort)+" \""+$line+"\" "+String($code)+" "+String($length)
End method


// The head of a response with CR line ends (sent with mode 5: CR LF on the wire).
Method Head
  $cr:=Char(13)
  $now:=DateTimeToSeconds(Current date;Current time;1)
  $0:="HTTP/1.0 "+String($1)+" "+Reason($1)+$cr
  $0:=$0+"Date: "+SecondsToDateText($now;1)+$cr
  $0:=$0+"Server: Nimbus serve"+$cr
  $0:=$0+"Content-Type: "+$2+$cr
  $0:=$0+"Content-Length: "+String($3)+$cr
  $0:=$0+"Connection: close"+$cr+$cr
End method


Method Reason
  Case of
    : ($1=200)
      $0:="OK"
    : ($1=400)
      $0:="Bad Request"
    : ($1=404)
      $0:="Not Found"
    Else
      $0:="Not Implemented"
  End case
End method


Method ContentType
  Case of
    : ($1="@.html")
      $0:="text/html"
    : ($1="@.css")
      $0:="text/css"
    : ($1="@.txt")
      $0:="text/plain"
    : ($1="@.gif")
      $0:="image/gif"
    : ($1="@.png")
      $0:="image/png"
    : ($1="@.jpg")
      $0:="image/jpeg"
    Else
      $0:="application/octet-stream"
  End case
End method


// The logo: a 16 x 16 picture drawn pixel by pixel (the stand-in picture format: two size
// bytes, the frame as four little-endian words top, left, bottom, right, then "RGB8" and
// the rows of red, green and blue bytes), made into a 96 x 96 GIF by the package.
Method MakeLogo
  $size:=16
  $picture:=Char(0)+Char(0)+Char(0)+Char(0)+Char(0)+Char(0)
  $picture:=$picture+Char($size)+Char(0)+Char($size)+Char(0)+"RGB8"
  For ($y;0;$size-1)
    For ($x;0;$size-1)
      Case of
        : (($x<2) | ($y<2) | ($x>=($size-2)) | ($y>=($size-2)))
          $picture:=$picture+Char(0)+Char(51)+Char(153)  // frame: dark blue
        : (($x=$y) | ($x=($size-1-$y)))
          $picture:=$picture+Char(255)+Char(204)+Char(0)  // diagonals: gold
        Else
          $picture:=$picture+Char(255)+Char(255-($y*12))+Char($x*16)  // gradient
      End case
    End for
  End for
  $0:=PictureToGIF(Text to BLOB($picture);0;96;96;0;0)
End method
