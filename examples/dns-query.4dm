// dns-query: asks a DNS server for the addresses of several names at once, over UDP.
//
//   nimbus-host run examples/dns-query.4dm SERVER PORT "NAME NAME..."
//
// Sends one query (type A, recursion desired) a name to the DNS server SERVER:PORT (a dotted
// address; 53 is the usual port), each with an ID of its own, and takes the answers as they
// come, in any order: an answer counts only when it comes from the server, carries the ID
// of a query still waiting and repeats that query's question; anything else is ignored.
// Queries without an answer are sent again after 2 seconds, and given up after 6.
// Prints one line a name: "www.example.test: 10.1.2.3 10.1.2.4", "...: NXDOMAIN" (no such
// name), "...: no address", "...: error N" (the server's reply code) or "...: no answer".

C_TEXT($server;$names)
C_LONGINT($port;$from;$fromPort)
If (Count parameters<3)
  LOG("usage: dns-query.4dm SERVER PORT \"NAME NAME...\"")
Else
  $server:=$1
  $port:=Num($2)
  $names:=$3+" "
  $address:=NameToAddress($server;0;0)

  // 1. One query a name. The names, their queries and their results are kept in texts, one
  //    line each (CR between lines), the i-th line for the i-th name.
  $cr:=Char(13)
  $count:=0
  $pending:=""
  $idList:=""
  $results:=""
  $first:=(TimerStart%50000)
  If ($first<0)
    $first:=0-$first
  End if
  While (Position(" ";$names)>0)
    $name:=Substring($names;1;Position(" ";$names)-1)
    $names:=Substring($names;Position(" ";$names)+1)
    If ($name#"")
      $count:=$count+1
      $pending:=$pending+$name+$cr
      // IDs that differ from run to run, so that a late answer to an earlier run is not
      // taken for this run's.
      $idList:=$idList+String(($first+($count*997))%65536)+$cr
    End if
  End while

  $endpoint:=DatagramOpen(0;0;0)
  If ($endpoint=0)
    LOG("dns-query: cannot open a datagram endpoint")
  Else
    // 2. Send the queries not yet answered; then take answers for up to 2 seconds, and go
    //    round again, three times at most.
    $answers:=""  // line i: the result for name i, "" while none came
    For ($i;1;$count)
      $answers:=$answers+$cr
    End for
    $open:=$count
    For ($round;1;3)
      If ($open>0)
        For ($i;1;$count)
          If (Line($answers;$i)="")
            $query:=Query(Num(Line($idList;$i));Line($pending;$i))
            $status:=DatagramSend($endpoint;$query;$address;$port;0)
          End if
        End for
        $start:=TimerStart
        $reply:=""
        Repeat
          $status:=DatagramReceive($endpoint;$reply;$from;$fromPort;0;0)
          If ($status=0)
            If (($from=$address) & ($fromPort=$port) & (Length($reply)>=12))
              // 3. Match the answer to its query by ID, and check that it repeats that
              //    query's question (the bytes after the 12-byte header).
              $id:=(Byte($reply;1)*256)+Byte($reply;2)
              For ($i;1;$count)
                If ((Num(Line($idList;$i))=$id) & (Line($answers;$i)=""))
                  $question:=Substring(Query($id;Line($pending;$i));13)
                  If (Substring($reply;13;Length($question))=$question)
                    $answers:=SetLine($answers;$i;Result($reply;13+Length($question)))
                    $open:=$open-1
                  End if
                End if
              End for
            End if
          Else
            DELAY PROCESS(Current process;1)
          End if
        Until (($open=0) | (TimerElapsed($start)>2000))
      End if
    End for
    $status:=DatagramClose($endpoint)

    For ($i;1;$count)
      $result:=Line($answers;$i)
      If ($result="")
        $result:="no answer"
      End if
      LOG(Line($pending;$i)+": "+$result)
    End for
  End if
End if


// The query for name $2 with ID $1: a 12-byte header (ID, flags with "recursion desired",
// one question), the name as labels, each with its length before it, ended by a 0, and the
// type (1, A: IPv4 address) and class (1, IN).
Method Query
  $0:=Char($1\256)+Char($1%256)+Char(1)+Char(0)+Char(0)+Char(1)
  $0:=$0+Char(0)+Char(0)+Char(0)+Char(0)+Char(0)+Char(0)
  $name:=$2+"."
  While (Position(".";$name)>0)
    $label:=Substring($name;1;Position(".";$name)-1)
    $name:=Substring($name;Position(".";$name)+1)
    If ($label#"")
      $0:=$0+Char(Length($label))+$label
    End if
  End while
  $0:=$0+Char(0)+Char(0)+Char(1)+Char(0)+Char(1)
End method

// What an answer says: the reply code (the low 4 bits of byte 4) and, for code 0, the
// addresses of the A records among the answers, which start at byte $2.
Method Result
  $reply:=$1
  $code:=Byte($reply;4)%16
  $records:=(Byte($reply;7)*256)+Byte($reply;8)
  Case of
    : ($code=3)
      $0:="NXDOMAIN"
    : ($code#0)
      $0:="error "+String($code)
    Else
      $0:=""
      $at:=$2
      For ($i;1;$records)
        // A record: its name (labels, or a 2-byte pointer to a name earlier in the reply),
        // type, class, time to live, the length of its data, and the data.
        $at:=AfterName($reply;$at)
        If (($at>0) & (($at+9)<=Length($reply)))
          $type:=(Byte($reply;$at)*256)+Byte($reply;$at+1)
          $size:=(Byte($reply;$at+8)*256)+Byte($reply;$at+9)
          If (($type=1) & ($size=4) & (($at+13)<=Length($reply)))
            $address:=String(Byte($reply;$at+10))+"."+String(Byte($reply;$at+11))
            $address:=$address+"."+String(Byte($reply;$at+12))+"."+String(Byte($reply;$at+13))
            If ($0="")
              $0:=$address
            Else
              $0:=$0+" "+$address
            End if
          End if
          $at:=$at+10+$size
        Else
          $at:=0
        End if
      End for
      If ($0="")
        $0:="no address"
      End if
  End case
End method

// The position after a name that starts at $2: labels up to a 0, or up to a pointer (two
// bytes whose first has its two high bits set). 0 when the name runs past the reply.
Method AfterName
  $at:=$2
  $0:=0
  While (($0=0) & ($at>0))
    If ($at>Length($1))
      $at:=0
    Else
      $length:=Byte($1;$at)
      Case of
        : ($length=0)
          $0:=$at+1
        : ($length>=192)
          $0:=$at+2
        Else
          $at:=$at+$length+1
      End case
    End if
  End while
End method

// Byte $2 of text $1 (from 1), 0 past the end.
Method Byte
  $0:=0
  If (($2>=1) & ($2<=Length($1)))
    $0:=Character code(Substring($1;$2;1))
  End if
End method

// Line $2 of a text of CR-ended lines.
Method Line
  $text:=$1
  For ($i;2;$2)
    $text:=Substring($text;Position(Char(13);$text)+1)
  End for
  $0:=Substring($text;1;Position(Char(13);$text)-1)
End method

// The text $1 with its line $2 replaced by $3.
Method SetLine
  $before:=""
  $text:=$1
  For ($i;2;$2)
    $before:=$before+Substring($text;1;Position(Char(13);$text))
    $text:=Substring($text;Position(Char(13);$text)+1)
  End for
  $0:=$before+$3+Substring($text;Position(Char(13);$text))
End method
