// udp-echo: an echo service on a UDP port, and a client in the main process talking to it.
//
//   nimbus-host run examples/udp-echo.4dm [PORT [COUNT]]
//
// The service (its own process) binds 127.0.0.1:PORT (default 9007), sends every datagram
// back to where it came from, and stops after COUNT datagrams (default 3).

C_LONGINT($port;$count)
$port:=9007
$count:=3
If (Count parameters>=1)
  $port:=Num($1)
End if
If (Count parameters>=2)
  $count:=Num($2)
End if

$address:=NameToAddress("127.0.0.1";0;0)
// A first parameter from 1 to 65535 binds that local port, on the address of the second.
$service:=DatagramOpen($port;$address;0)
If ($service=0)
  LOG("udp-echo: cannot bind 127.0.0.1:"+String($port))
Else
  $p:=New process("Echo";0;"echo service";$service;$count)
  $client:=DatagramOpen(0;0;0)
  For ($i;1;$count)
    $message:="datagram "+String($i)+" of "+String($count)
    $status:=DatagramSend($client;$message;$address;$port;0)
    // DatagramReceive never waits: look again, napping, for up to 5 seconds.
    $reply:=""
    $start:=TimerStart
    Repeat
      $status:=DatagramReceive($client;$reply;$from;$fromPort;0;0)
      If ($status#0)
        DELAY PROCESS(Current process;1)
      End if
    Until (($status=0) | (TimerElapsed($start)>5000))
    If ($status=0)
      LOG("client: sent \""+$message+"\", got back \""+$reply+"\"")
    Else
      LOG("client: no answer to \""+$message+"\"")
    End if
  End for
  $status:=DatagramClose($client)
End if


Method Echo
  $ref:=$1
  $handled:=0
  $text:=""
  $start:=TimerStart
  While (($handled<$2) & (TimerElapsed($start)<10000))
    $status:=DatagramReceive($ref;$text;$from;$fromPort;0;0)
    If ($status=0)
      LOG("echo: "+String(Length($text))+" bytes from "+AddressToName($from;2;0)+":"+String($fromPort))
      $status:=DatagramSend($ref;$text;$from;$fromPort;0)
      $handled:=$handled+1
    Else
      DELAY PROCESS(Current process;1)
    End if
  End while
  $status:=DatagramClose($ref)
End method
