// http-client: HTTP/1.1 on one keep-alive stream, as a 4D method talks to a web server.
//
//   nimbus-host run examples/http-client.4dm HOST PORT PREFIX DOWNLOAD ["PAGE PAGE..."]
//
// Opens one stream to HOST:PORT and keeps it open for every request:
// - for each PAGE (paths such as "/index.html", separated by spaces): a HEAD, then a GET.
//   The GET's body is read exactly as the server frames it, by its Content-Length or in
//   chunks ("Transfer-Encoding: chunked"), and written to PREFIX1, PREFIX2, ...;
// - last, GET DOWNLOAD with "Connection: close": the body, of any size, goes straight into
//   the file PREFIX+"download" with StreamReceiveFile, which ends when the server closes.
// One line is printed a request. Pages are written with BlobToFile, which writes a GIF or
// JPEG image found inside the block rather than the whole block: fine for text pages; send
// binary files through the download, which keeps every byte.

C_TEXT($host;$prefix;$download)
C_LONGINT($port)
If (Count parameters<4)
  LOG("usage: http-client.4dm HOST PORT PREFIX DOWNLOAD [\"PAGE PAGE...\"]")
Else
  $host:=$1
  $port:=Num($2)
  $prefix:=$3
  $download:=$4
  $pages:=""
  If (Count parameters>=5)
    $pages:=$5+" "
  End if
  $crlf:=Char(13)+Char(10)

  // 1. Open the stream and wait up to 30 seconds for the connection (state 8).
  $ref:=StreamOpen($host;$port;0;0;0;0;0)
  If ($ref=0)
    LOG("http-client: cannot open a stream to "+$host+":"+String($port))
  Else
    $state:=StreamWaitState($ref;8;30)
    If ($state#8)
      LOG("http-client: no connection to "+$host+":"+String($port)+" (state "+String($state)+")")
      $status:=StreamRelease($ref;0)
      $ref:=0
    End if
  End if

  // 2. HEAD and GET of each page, on the same stream. HTTP/1.1 keeps the connection open
  //    unless a side says "Connection: close".
  $ok:=($ref#0)
  $page:=0
  While ($ok & (Position(" ";$pages)>0))
    $path:=Substring($pages;1;Position(" ";$pages)-1)
    $pages:=Substring($pages;Position(" ";$pages)+1)
    If ($path#"")
      $page:=$page+1
      $status:=StreamSendText($ref;Request("HEAD";$path;$host;False);0;0)
      $head:=ReadHead($ref)
      $ok:=($head#"")
      If ($ok)
        // A HEAD answer has the GET's headers and no body, whatever Content-Length says.
        LOG("HEAD "+$path+": "+StatusOf($head)+", Content-Length "+HeaderValue($head;"Content-Length"))
        $status:=StreamSendText($ref;Request("GET";$path;$host;False);0;0)
        $head:=ReadHead($ref)
        $ok:=($head#"")
      End if
      If ($ok)
        If (Position("chunked";HeaderValue($head;"Transfer-Encoding"))>0)
          $framing:="chunked"
          $body:=ReadChunked($ref)
        Else
          $framing:="Content-Length"
          $body:=ReadExactly($ref;Num(HeaderValue($head;"Content-Length")))
        End if
        $file:=$prefix+String($page)
        $status:=BlobToFile(Text to BLOB($body);$file)
        If ($status#0)
          LOG("http-client: writing "+$file+" failed (status "+String($status)+")")
        End if
        LOG("GET "+$path+": "+StatusOf($head)+", "+String(Length($body))+" bytes ("+$framing+") -> "+$file)
        // The server may still close a kept-alive stream (a limit on requests, an error).
        If (Position("close";HeaderValue($head;"Connection"))>0)
          LOG("http-client: the server closed the connection")
          $ok:=False
        End if
      End if
      If ($head="")
        LOG("http-client: no answer to "+$path+" (state "+String(StreamState($ref;0))+")")
      End if
    End if
  End while

  // 3. The download: the last request on this stream asks the server to close after it, so
  //    StreamReceiveFile takes everything after the head into the file. It releases the
  //    stream when the server has closed, or after 30 seconds of silence.
  If ($ok)
    $status:=StreamSendText($ref;Request("GET";$download;$host;True);0;0)
    $head:=ReadHead($ref)
    If ($head="")
      LOG("http-client: no answer to "+$download)
    Else
      $file:=$prefix+"download"
      $status:=StreamReceiveFile($ref;$file;0;0;30)
      If (StreamState($ref;0)=-1)
        $ref:=0  // released by StreamReceiveFile
      End if
      If ($status=0)
        LOG("GET "+$download+": "+StatusOf($head)+", "+String(Get document size($file))+" bytes (until close) -> "+$file)
      Else
        LOG("http-client: receiving into "+$file+" failed (status "+String($status)+")")
      End if
    End if
  End if

  // 4. Close and release what is still open.
  If ($ref#0)
    $status:=StreamClose($ref)
    $status:=StreamRelease($ref;0)
  End if
End if


// The request: method, path, Host and, for the last request, "Connection: close".
Method Request
  $crlf:=Char(13)+Char(10)
  $0:=$1+" "+$2+" HTTP/1.1"+$crlf+"Host: "+$3+$crlf+"User-Agent: Nimbus http-client"+$crlf
  If ($4)
    $0:=$0+"Connection: close"+$crlf
  End if
  $0:=$0+$crlf
End method

// The status line and headers up to the empty line, CR LF included; "" when the stream
// ended or nothing came within 30 seconds. One byte at a time, so that no byte of the body
// is taken with the head.
Method ReadHead
  $ref:=$1
  $crlf:=Char(13)+Char(10)
  $head:=""
  $byte:=""
  $ended:=False
  $start:=TimerStart
  Repeat
    $n:=StreamReceiveText($ref;$byte;1;0)
    Case of
      : ($n=1)
        $head:=$head+$byte
        If ($byte=Char(10))
          $ended:=(Substring($head;Length($head)-3)=($crlf+$crlf))
        End if
      : (($n=0) | (StreamState($ref;0)>=14))
        $head:=""
        $ended:=True
      Else
        DELAY PROCESS(Current process;1)
    End case
  Until ($ended | (TimerElapsed($start)>30000) | (Length($head)>=32000))
  If (Not($ended))
    $head:=""
  End if
  $0:=$head
End method

// "200 OK" from "HTTP/1.1 200 OK".
Method StatusOf
  $line:=Substring($1;1;Position(Char(13);$1)-1)
  $0:=Substring($line;Position(" ";$line)+1)
End method

// A header's value ("" when absent). Header names ignore case, and so does Position.
Method HeaderValue
  $crlf:=Char(13)+Char(10)
  $at:=Position($crlf+$2+":";$1)
  $0:=""
  If ($at>0)
    $value:=Substring($1;$at+Length($2)+3)
    $value:=Substring($value;1;Position($crlf;$value)-1)
    While (Substring($value;1;1)=" ")
      $value:=Substring($value;2)
    End while
    $0:=$value
  End if
End method

// Exactly $2 bytes from the stream (fewer when it ends or stays silent for 30 seconds):
// never more, for what follows belongs to the next answer.
Method ReadExactly
  $ref:=$1
  $wanted:=$2
  $text:=""
  $chunk:=""
  $start:=TimerStart
  While (($wanted>0) & (TimerElapsed($start)<30000))
    $largest:=$wanted
    If ($largest>32000)
      $largest:=32000
    End if
    $n:=StreamReceiveText($ref;$chunk;$largest;0)
    Case of
      : ($n>0)
        $text:=$text+$chunk
        $wanted:=$wanted-$n
        $start:=TimerStart
      : (($n=0) | (StreamState($ref;0)>=14))
        $wanted:=0
      Else
        DELAY PROCESS(Current process;1)
    End case
  End while
  $0:=$text
End method

// One line without its CR LF, read a byte at a time.
Method ReadLine
  $ref:=$1
  $line:=""
  $byte:=""
  $ended:=False
  $start:=TimerStart
  Repeat
    $n:=StreamReceiveText($ref;$byte;1;0)
    Case of
      : ($n=1)
        If ($byte=Char(10))
          $ended:=True
        Else
          $line:=$line+$byte
        End if
      : (($n=0) | (StreamState($ref;0)>=14))
        $ended:=True
      Else
        DELAY PROCESS(Current process;1)
    End case
  Until ($ended | (TimerElapsed($start)>30000))
  If (Substring($line;Length($line))=Char(13))
    $line:=Substring($line;1;Length($line)-1)
  End if
  $0:=$line
End method

// A chunked body: each chunk is its size in hexadecimal on a line (maybe with ";options"),
// the bytes, and CR LF; a chunk of size 0 ends the body, followed by trailer lines up to an
// empty one.
Method ReadChunked
  $ref:=$1
  $body:=""
  $data:=""
  Repeat
    $line:=ReadLine($ref)
    If (Position(";";$line)>0)
      $line:=Substring($line;1;Position(";";$line)-1)
    End if
    $size:=HexValue($line)
    If ($size>0)
      $data:=ReadExactly($ref;$size)
      $body:=$body+$data
      $line:=ReadLine($ref)  // the CR LF after the chunk's bytes
    End if
  Until (($size<=0) | (Length($data)#$size) | (StreamState($ref;0)>=14))
  If ($size=0)
    Repeat
      $line:=ReadLine($ref)
    Until (($line="") | (StreamState($ref;0)>=14))
  End if
  $0:=$body
End method

// A hexadecimal number ("1F4" is 500); -1 for an empty or faulty one.
Method HexValue
  $0:=-1
  If (Length($1)>0)
    $0:=0
    For ($i;1;Length($1))
      $digit:=Position(Substring($1;$i;1);"0123456789abcdef")-1
      If (($digit<0) | ($0<0))
        $0:=-1
      Else
        $0:=($0*16)+$digit
      End if
    End for
  End if
End method
