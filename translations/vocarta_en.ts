<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>AddCardOverlayView</name>
    <message numerus="yes">
        <source>%n result(s)</source>
        <extracomment>Told to a screen reader when the candidates appear.</extracomment>
        <translation>
            <numerusform>%n result</numerusform>
            <numerusform>%n results</numerusform>
        </translation>
    </message>
</context>
</TS>
