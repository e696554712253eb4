// queue-handoff: two processes pass texts through one of the package's keyed queues.
//
//   nimbus-host run examples/queue-handoff.4dm [COUNT]
//
// The producer pushes COUNT texts (default 5) and then "done"; the consumer pops them in
// the order they were pushed, waiting while the queue is empty.

C_LONGINT($count)
$count:=5
If (Count parameters>=1)
  $count:=Num($1)
End if
$key:=42
QueueClear($key)
$consumer:=New process("Consumer";0;"consumer";$key)
$producer:=New process("Producer";0;"producer";$key;$count)
LOG("main: started the consumer (process "+String($consumer)+") and the producer (process "+String($producer)+")")


Method Producer
  For ($i;1;$2)
    QueuePush($1;"order "+String($i))
    LOG("producer: pushed order "+String($i)+", "+String(QueueCount($1))+" waiting")
    DELAY PROCESS(Current process;2)
  End for
  QueuePush($1;"done")
End method


Method Consumer
  $text:=""
  $received:=0
  Repeat
    If (QueueCount($1)=0)
      IDLE
    Else
      $text:=QueuePop($1)
      If ($text#"done")
        $received:=$received+1
        LOG("consumer: popped "+$text)
      End if
    End if
  Until ($text="done")
  LOG("consumer: "+String($received)+" texts, queue empty: "+String(QueueCount($1)=0))
End method
