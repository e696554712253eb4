// pop3-read: takes the mail waiting in a POP3 mailbox, as a 4D method collects orders.
//
//   nimbus-host run examples/pop3-read.4dm HOST PORT USER PASSWORD PREFIX
//
// Logs in to the POP3 server at HOST:PORT as USER, asks how much mail waits (STAT) and the
// size of each message (LIST), then takes each message whole (RETR) into the file PREFIX+N
// (N the message's number) and marks it for deletion (DELE). QUIT ends the session: only
// then does the server delete the messages. In a multi-line answer the server doubles a "."
// at the start of a line and ends the answer with a line holding only "."; the script undoes
// both, so each file holds the message exactly as it was delivered. Messages may be of any
// size up to the 16 MB a Text holds here (32000 bytes come in at a time).

C_TEXT($host;$user;$password;$prefix)
C_LONGINT($port)
If (Count parameters<5)
  LOG("usage: pop3-read.4dm HOST PORT USER PASSWORD PREFIX")
Else
  $host:=$1
  $port:=Num($2)
  $user:=$3
  $password:=$4
  $prefix:=$5

  // The largest socket buffers (32767 bytes): messages may be large.
  $ref:=StreamOpen($host;$port;32767;0;0;0;0)
  If ($ref#0)
    If (StreamWaitState($ref;8;30)#8)
      $status:=StreamRelease($ref;0)
      $ref:=0
    End if
  End if
  If ($ref=0)
    LOG("pop3-read: no connection to "+$host+":"+String($port))
  Else
    // 1. The greeting and the login: every answer starts with "+OK" or "-ERR".
    $ok:=(Substring(ReadLine($ref);1;3)="+OK")
    If ($ok)
      $ok:=(Substring(Command($ref;"USER "+$user);1;3)="+OK")
    End if
    If ($ok)
      $reply:=Command($ref;"PASS "+$password)
      $ok:=(Substring($reply;1;3)="+OK")
      If (Not($ok))
        LOG("pop3-read: login refused: "+$reply)
      End if
    End if

    // 2. STAT: "+OK count size".
    $count:=0
    If ($ok)
      $reply:=Command($ref;"STAT")
      $ok:=(Substring($reply;1;3)="+OK")
      If ($ok)
        $count:=Num(Substring($reply;5))
      End if
    End if

    // 3. LIST: one line "number size" a message, then ".".
    If ($ok)
      $ok:=(Substring(Command($ref;"LIST");1;3)="+OK")
      If ($ok)
        $list:=ReadMultiline($ref)
        $at:=Position(Char(13)+Char(10);$list)
        While ($at>0)
          LOG("  "+Substring($list;1;$at-1))
          $list:=Substring($list;$at+2)
          $at:=Position(Char(13)+Char(10);$list)
        End while
      End if
    End if

    // 4. RETR and DELE of each message.
    For ($number;1;$count)
      If ($ok)
        $ok:=(Substring(Command($ref;"RETR "+String($number));1;3)="+OK")
        If ($ok)
          $message:=ReadMultiline($ref)
          $file:=$prefix+String($number)
          // BlobToFile writes a GIF or JPEG image found inside a block instead of the whole
          // block; mail is text and holds none.
          $status:=BlobToFile(Text to BLOB($message);$file)
          LOG("message "+String($number)+": "+String(Length($message))+" bytes -> "+$file)
          $ok:=($status=0)
        End if
        If ($ok)
          $ok:=(Substring(Command($ref;"DELE "+String($number));1;3)="+OK")
        End if
      End if
    End for

    // 5. QUIT: the server deletes the messages marked and closes.
    If ($ok)
      $ok:=(Substring(Command($ref;"QUIT");1;3)="+OK")
    Else
      $reply:=Command($ref;"QUIT")
    End if
    $status:=StreamClose($ref)
    $status:=StreamRelease($ref;0)
    If ($ok)
      LOG("pop3-read: "+String($count)+" messages read and deleted")
    Else
      LOG("pop3-read: stopped after an unexpected answer")
    End if
  End if
End if


// Sends one command line and answers the server's one-line answer.
Method Command
  If (Substring($2;1;5)="PASS ")
    LOG("-> PASS ****")
  Else
    LOG("-> "+$2)
  End if
  $line:=$2+Char(13)+Char(10)
  $status:=StreamSendText($1;$line;0;0)
  $line:=ReadLine($1)
  LOG("<- "+$line)
  $0:=$line
End method

// The lines of a multi-line answer, after its first line, up to the line holding only ".":
// that line is left out and a doubled "." at the start of a line made single again. The
// server sends nothing after the "." until the next command, so whole pieces can be taken.
Method ReadMultiline
  $crlf:=Char(13)+Char(10)
  $data:=""
  $chunk:=""
  $tail:=$crlf  // the last bytes seen, to find CR LF "." CR LF across pieces
  $ended:=False
  $start:=TimerStart
  Repeat
    $n:=StreamReceiveText($1;$chunk;32000;0)
    Case of
      : ($n>0)
        $data:=$data+$chunk
        $tail:=$tail+$chunk
        If (Length($tail)>5)
          $tail:=Substring($tail;Length($tail)-4)
        End if
        $ended:=($tail=($crlf+"."+$crlf))
        $start:=TimerStart
      : (($n=0) | (StreamState($1;0)>=14))
        $ended:=True
      Else
        DELAY PROCESS(Current process;1)
    End case
  Until ($ended | (TimerElapsed($start)>30000))
  $data:=Substring($data;1;Length($data)-3)
  $data:=Replace string($crlf+$data;$crlf+"..";$crlf+".")
  $0:=Substring($data;3)
End method

// One line without its CR LF, read a byte at a time so that nothing after it is taken.
Method ReadLine
  $line:=""
  $byte:=""
  $ended:=False
  $start:=TimerStart
  Repeat
    $n:=StreamReceiveText($1;$byte;1;0)
    Case of
      : ($n=1)
        If ($byte=Char(10))
          $ended:=True
        Else
          $line:=$line+$byte
        End if
      : (($n=0) | (StreamState($1;0)>=14))
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
