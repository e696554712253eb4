// smtp-send: sends one mail through an SMTP server, as a 4D method mails a report.
//
//   nimbus-host run examples/smtp-send.4dm HOST PORT FROM TO SUBJECT BODYFILE
//
// Talks SMTP with the server at HOST:PORT: EHLO, MAIL FROM, RCPT TO, DATA, QUIT. The mail
// gets From:, To:, Subject:, a Date: header written by SecondsToDateText and a Message-ID:,
// and the text of BODYFILE as its body, with its lines ended by CR LF. In DATA a line that
// starts with "." gets a second "." (the server removes it again), and a line holding only
// "." ends the mail. Every reply from the server is printed as it comes.

C_TEXT($host;$from;$to;$subject;$bodyFile)
C_LONGINT($port)
If (Count parameters<6)
  LOG("usage: smtp-send.4dm HOST PORT FROM TO SUBJECT BODYFILE")
Else
  $host:=$1
  $port:=Num($2)
  $from:=$3
  $to:=$4
  $subject:=$5
  $bodyFile:=$6
  $crlf:=Char(13)+Char(10)

  // 1. The body: the file's text, every line ended by CR LF whatever it had, and a
  //    "." doubled at the start of each line.
  $body:=BLOB to text(FileToBlob($bodyFile))
  $body:=Replace string($body;$crlf;Char(10))
  $body:=Replace string($body;Char(10);$crlf)
  If (($body#"") & (Substring($body;Length($body)-1)#$crlf))
    $body:=$body+$crlf
  End if
  $body:=Replace string($crlf+$body;$crlf+".";$crlf+"..")
  $body:=Substring($body;3)

  // 2. The head. DateTimeToSeconds turns the local date and time into GMT-based seconds.
  $now:=DateTimeToSeconds(Current date;Current time;1)
  $domain:=Substring($from;Position("@";$from)+1)
  $head:="From: "+$from+$crlf+"To: "+$to+$crlf+"Subject: "+$subject+$crlf
  $head:=$head+"Date: "+SecondsToDateText($now;1)+$crlf
  $head:=$head+"Message-ID: <"+String($now)+"."+String(TimerStart)+"@"+$domain+">"+$crlf+$crlf

  $ref:=StreamOpen($host;$port;0;0;0;0;0)
  If ($ref#0)
    If (StreamWaitState($ref;8;30)#8)
      $status:=StreamRelease($ref;0)
      $ref:=0
    End if
  End if
  If ($ref=0)
    LOG("smtp-send: no connection to "+$host+":"+String($port))
  Else
    // 3. The conversation: each command must get its expected code, or the mail is given up.
    $ok:=(Code(Reply($ref))=220)
    If ($ok)
      $ok:=(Code(Command($ref;"EHLO localhost"))=250)
    End if
    If ($ok)
      $ok:=(Code(Command($ref;"MAIL FROM:<"+$from+">"))=250)
    End if
    If ($ok)
      $ok:=(Code(Command($ref;"RCPT TO:<"+$to+">"))=250)
      If (Not($ok))
        LOG("smtp-send: the server refused the recipient")
      End if
    End if
    If ($ok)
      $ok:=(Code(Command($ref;"DATA"))=354)
    End if
    If ($ok)
      // 4. The mail in pieces a Text parameter can hold, gathered into full packets
      //    (buffering 1) and sent with the final ".".
      $mail:=$head+$body
      $status:=0
      For ($at;1;Length($mail);30000)
        $piece:=Substring($mail;$at;30000)
        If ($status>=0)
          $status:=StreamSendText($ref;$piece;1;0)
        End if
      End for
      $end:="."+$crlf
      If ($status>=0)
        $status:=StreamSendText($ref;$end;0;0)
      End if
      $reply:=Reply($ref)
      $ok:=($status=0) & (Code($reply)=250)
      If ($ok)
        LOG("smtp-send: sent "+String(Length($mail))+" bytes, Date: "+SecondsToDateText($now;1))
      End if
    End if
    // 5. QUIT (221) whatever happened, then close.
    $reply:=Command($ref;"QUIT")
    $status:=StreamClose($ref)
    $status:=StreamRelease($ref;0)
    If (Not($ok))
      LOG("smtp-send: the mail was not sent")
    End if
  End if
End if


// Sends one command line and answers the server's reply.
Method Command
  LOG("-> "+$2)
  $line:=$2+Char(13)+Char(10)
  $status:=StreamSendText($1;$line;0;0)
  $0:=Reply($1)
End method

// A reply's last line. Lines of a reply of several lines have "-" after the code ("250-SIZE
// 36700160"); the last one has a space. "" when the connection ends or 30 seconds pass.
Method Reply
  Repeat
    $line:=ReadLine($1)
    LOG("<- "+$line)
  Until (Substring($line;4;1)#"-")
  $0:=$line
End method

// The code of a reply, 0 for none.
Method Code
  $0:=0
  If (Length($1)>=3)
    $0:=Num(Substring($1;1;3))
  End if
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
