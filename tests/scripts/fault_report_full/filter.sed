# Everything from the first report statement on, and the messages.
/^=>submit/,$!{
/^Error\|^Question/!d
}
