// fetch: one HTTP request from start to end, as a 4D method makes it with the package.
//
//   nimbus-host run examples/fetch.4dm [HOST [PORT [PATH [OUTFILE]]]]
//
// Opens a stream to HOST:PORT (default 127.0.0.1:8080), sends "GET PATH" (default "/"),
// prints the status line and the headers, and then the size of the body. With OUTFILE the
// body is written there byte for byte.

C_TEXT($host;$path;$outFile)
C_LONGINT($port)
$host:="127.0.0.1"
$port:=8080
$path:="/"
$outFile:=""
If (Count parameters>=1)
  $host:=$1
End if
If (Count parameters>=2)
  $port:=Num($2)
End if
If (Count parameters>=3)
  $path:=$3
End if
If (Count parameters>=4)
  $outFile:=$4
End if

$cr:=Char(13)
$lf:=Char(10)

// 1. Open the stream; the connect goes on in the background.
$ref:=StreamOpen($host;$port;0;0;0;0;0)
If ($ref=0)
  LOG("fetch: cannot open a stream to "+$host+":"+String($port))
Else
  // 2. Wait up to 30 seconds for the connection (state 8).
  $state:=StreamWaitState($ref;8;30)
  If ($state#8)
    LOG("fetch: no connection to "+$host+":"+String($port)+" (state "+String($state)+")")
  Else
    // 3. The request, written with CR line ends in Mac Roman; mode 5 sends it as
    //    ISO-8859-1 with CR LF.
    $request:="GET "+$path+" HTTP/1.0"+$cr+"Host: "+$host+$cr+"User-Agent: Nimbus fetch"+$cr
    $request:=$request+"Connection: close"+$cr+$cr
    $status:=StreamSendText($ref;$request;0;5)
    If ($status#0)
      LOG("fetch: sending the request failed ("+String($status)+")")
    Else
      // 4. The head, one byte at a time and unconverted, so that not one byte of the
      //    body is taken with it: the body may be binary.
      $head:=""
      $byte:=""
      $ended:=False
      $start:=TimerStart
      Repeat
        $n:=StreamReceiveText($ref;$byte;1;0)
        Case of
          : ($n=1)
            $head:=$head+$byte
            $ended:=(Substring($head;Length($head)-3)=($cr+$lf+$cr+$lf))
          : ($n=0)
            $ended:=True
          : (StreamState($ref;0)>=14)
            $ended:=True
          Else
            DELAY PROCESS(Current process;1)
        End case
      Until ($ended | (TimerElapsed($start)>30000) | (Length($head)>=32000))

      // The status line and the headers, one a line.
      $rest:=$head
      $at:=Position($cr+$lf;$rest)
      While ($at>1)
        LOG(Substring($rest;1;$at-1))
        $rest:=Substring($rest;$at+2)
        $at:=Position($cr+$lf;$rest)
      End while
      LOG("")

      // 5. The body: into OUTFILE as it arrives, or counted.
      If ($outFile#"")
        $status:=StreamReceiveFile($ref;$outFile;0;0;30)
        If (StreamState($ref;0)=-1)
          $ref:=0  // the routine has released the stream
        End if
        If ((Test path name($outFile)=1) & ($status>=0))
          LOG("body: "+String(Get document size($outFile))+" bytes")
        Else
          LOG("fetch: receiving into "+$outFile+" failed (status "+String($status)+")")
        End if
      Else
        $size:=0
        $chunk:=""
        Repeat
          $n:=StreamReceiveText($ref;$chunk;0;0)
          If ($n>0)
            $size:=$size+$n
          End if
          If ($n<0)
            DELAY PROCESS(Current process;1)
          End if
        Until (($n=0) | (StreamState($ref;0)>=14) | (TimerElapsed($start)>60000))
        LOG("body: "+String($size)+" bytes")
      End if
    End if
  End if
  // 6. Close and release (nothing left to do after StreamReceiveFile).
  If ($ref#0)
    $status:=StreamClose($ref)
    $status:=StreamRelease($ref;0)
  End if
End if
