<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!--
  Vextor Config texts, German: the texts the windows were designed with in a third language. Not
  built into the program yet, which switches between Italian and English; a language 3 added to
  the translation runtime takes this file as its table, and the keys missing here fall back to
  Italian. Same layout as vextor_it.ts and vextor_en.ts; edited by hand.
-->
<TS version="2.1" language="de_DE">
<context>
    <name>TKeyBoardForm</name>
    <message>
        <source>KeyBoardForm.Caption</source>
        <translation>Tastatur</translation>
    </message>
    <message>
        <source>ButtonABORT.Caption</source>
        <translation>Verlassen</translation>
    </message>
</context>
<context>
    <name>TKeyBoardAlphaForm</name>
    <message>
        <source>KeyBoardAlphaForm.Caption</source>
        <translation>Alphanumerische Tastatur</translation>
    </message>
    <message>
        <source>ButtonABORT.Caption</source>
        <translation>Verlassen</translation>
    </message>
</context>
</TS>
