// ftp-client: an FTP session, as a 4D method downloads and uploads files with the package.
//
//   nimbus-host run examples/ftp-client.4dm HOST PORT USER PASSWORD GET PREFIX PUT PUTNAME
//
// Logs in to the FTP server at HOST:PORT as USER, then, in binary mode:
// - LIST in passive mode (PASV: the script connects to the port the server names), printed;
// - RETR GET in passive mode into the file PREFIX+"passive", with StreamReceiveFile;
// - STOR of the local file PUT as PUTNAME in passive mode, with StreamSendFile;
// - RETR GET again in active mode into PREFIX+"active": the script listens on a port of its
//   own (StreamListen), names it with PORT, and the server connects to it;
// and QUITs. Every reply from the server is printed as it comes ("<- 230 Login successful.").

C_TEXT($host;$user;$password;$get;$prefix;$put;$putName)
C_LONGINT($port;$peer;$local;$address;$spare)
C_INTEGER($peerPort;$localPort;$dataPort)  // ports the routines write
If (Count parameters<8)
  LOG("usage: ftp-client.4dm HOST PORT USER PASSWORD GET PREFIX PUT PUTNAME")
Else
  $host:=$1
  $port:=Num($2)
  $user:=$3
  $password:=$4
  $get:=$5
  $prefix:=$6
  $put:=$7
  $putName:=$8

  $control:=StreamOpen($host;$port;0;0;0;0;0)
  If ($control#0)
    If (StreamWaitState($control;8;30)#8)
      $status:=StreamRelease($control;0)
      $control:=0
    End if
  End if
  If ($control=0)
    LOG("ftp-client: no connection to "+$host+":"+String($port))
  Else
    // 1. The greeting (220), then the login: USER asks for the password (331), PASS
    //    answers 230 when both are right.
    $ok:=(Code(Reply($control))=220)
    If ($ok)
      $reply:=Command($control;"USER "+$user)
      If (Code($reply)=331)
        $reply:=Command($control;"PASS "+$password)
      End if
      $ok:=(Code($reply)=230)
      If (Not($ok))
        LOG("ftp-client: login refused")
      End if
    End if
    // 2. Binary transfers ("TYPE I"): files go byte for byte.
    If ($ok)
      $ok:=(Code(Command($control;"TYPE I"))=200)
    End if

    // 3. LIST, passive: the listing comes on a data connection, as text with CR LF lines.
    If ($ok)
      $data:=Passive($control)
      $ok:=($data#0)
    End if
    If ($ok)
      $ok:=(Code(Command($control;"LIST"))=150)
      If ($ok)
        $listing:=""
        $chunk:=""
        $start:=TimerStart
        Repeat
          $n:=StreamReceiveText($data;$chunk;0;0)
          If ($n>0)
            $listing:=$listing+$chunk
          Else
            DELAY PROCESS(Current process;1)
          End if
        Until (($n=0) | (StreamState($data;0)>=14) | (TimerElapsed($start)>30000))
        LOG("listing: "+String(Length($listing))+" bytes")
        $at:=Position(Char(13)+Char(10);$listing)
        While ($at>0)
          LOG("  "+Substring($listing;1;$at-1))
          $listing:=Substring($listing;$at+2)
          $at:=Position(Char(13)+Char(10);$listing)
        End while
      End if
      $status:=StreamRelease($data;0)
      // 226 when the whole listing was sent.
      $ok:=$ok & (Code(Reply($control))=226)
    End if

    // 4. RETR, passive: StreamReceiveFile writes what the data connection brings until the
    //    server closes it, then releases the data stream.
    If ($ok)
      $data:=Passive($control)
      $ok:=($data#0)
    End if
    If ($ok)
      If (Code(Command($control;"RETR "+$get))=150)
        $status:=StreamReceiveFile($data;$prefix+"passive";0;0;30)
        $ok:=($status=0) & (Code(Reply($control))=226)
        LOG("passive download: status "+String($status)+", "+String(Get document size($prefix+"passive"))+" bytes")
      Else
        $status:=StreamRelease($data;0)
        $ok:=False
      End if
    End if

    // 5. STOR, passive: StreamSendFile sends the file, and closing the data connection
    //    tells the server that the file is complete.
    If ($ok)
      $data:=Passive($control)
      $ok:=($data#0)
    End if
    If ($ok)
      If (Code(Command($control;"STOR "+$putName))=150)
        $status:=StreamSendFile($data;$put;0;0)
        LOG("upload: status "+String($status)+", "+String(Get document size($put))+" bytes")
        $ok:=($status=0)
        $status:=StreamClose($data)
        $status:=StreamRelease($data;0)
        $ok:=$ok & (Code(Reply($control))=226)
      Else
        $status:=StreamRelease($data;0)
        $ok:=False
      End if
    End if

    // 6. RETR, active: listen on a port the system chooses, on the address this end of the
    //    control connection has, and tell the server with "PORT h1,h2,h3,h4,p1,p2".
    If ($ok)
      $local:=StreamAddresses($control;$peer;$peerPort;$localPort;$spare;$local)
      $listener:=StreamListen(0;0;0;0;0;0;$local)
      $ok:=($listener#0)
    End if
    If ($ok)
      $spare:=StreamAddresses($listener;$peer;$peerPort;$dataPort;$spare;$address)
      If ($dataPort<0)
        $dataPort:=$dataPort+65536  // ports above 32767 come back as negative integers
      End if
      $hostPart:=Replace string(AddressToName($local;2;0);".";",")
      $ok:=(Code(Command($control;"PORT "+$hostPart+","+String($dataPort\256)+","+String($dataPort%256)))=200)
      If ($ok)
        $ok:=(Code(Command($control;"RETR "+$get))=150)
      End if
      If ($ok)
        // The server connects in: the listening stream becomes established (8).
        $ok:=(StreamWaitState($listener;8;30)=8)
      End if
      If ($ok)
        $status:=StreamReceiveFile($listener;$prefix+"active";0;0;30)
        $ok:=($status=0) & (Code(Reply($control))=226)
        LOG("active download: status "+String($status)+", "+String(Get document size($prefix+"active"))+" bytes")
      Else
        $status:=StreamRelease($listener;0)
      End if
    End if

    // 7. QUIT (221), then close the control connection.
    $reply:=Command($control;"QUIT")
    $status:=StreamClose($control)
    $status:=StreamRelease($control;0)
    If ($ok)
      LOG("ftp-client: done")
    Else
      LOG("ftp-client: stopped after an unexpected reply")
    End if
  End if
End if


// Sends one command line and answers the server's reply.
Method Command
  If (Substring($2;1;5)="PASS ")
    LOG("-> PASS ****")
  Else
    LOG("-> "+$2)
  End if
  $line:=$2+Char(13)+Char(10)
  $status:=StreamSendText($1;$line;0;0)
  $0:=Reply($1)
End method

// A reply: its last line, "226 Transfer complete." A reply of several lines starts with
// "150-" and ends with a line that starts with the same code and a space. "" when the
// connection ends or no reply comes within 30 seconds.
Method Reply
  $line:=ReadLine($1)
  LOG("<- "+$line)
  If (Substring($line;4;1)="-")
    $last:=Substring($line;1;3)+" "
    Repeat
      $line:=ReadLine($1)
      LOG("<- "+$line)
    Until ((Substring($line;1;4)=$last) | ($line=""))
  End if
  $0:=$line
End method

// The code of a reply, 0 for none.
Method Code
  $0:=0
  If (Length($1)>=3)
    $0:=Num(Substring($1;1;3))
  End if
End method

// PASV: the server answers "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)" and waits on
// that port; answers the established data stream, or 0.
Method Passive
  $0:=0
  $reply:=Command($1;"PASV")
  If ((Code($reply)=227) & (Position("(";$reply)>0))
    $numbers:=Substring($reply;Position("(";$reply)+1)
    $numbers:=Substring($numbers;1;Position(")";$numbers)-1)+","
    $host:=""
    For ($i;1;6)
      $value:=Substring($numbers;1;Position(",";$numbers)-1)
      $numbers:=Substring($numbers;Position(",";$numbers)+1)
      Case of
        : ($i<4)
          $host:=$host+$value+"."
        : ($i=4)
          $host:=$host+$value
        : ($i=5)
          $dataPort:=Num($value)*256
        Else
          $dataPort:=$dataPort+Num($value)
      End case
    End for
    $data:=StreamOpen($host;$dataPort;0;0;0;0;0)
    If ($data#0)
      If (StreamWaitState($data;8;30)=8)
        $0:=$data
      Else
        $status:=StreamRelease($data;0)
      End if
    End if
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
