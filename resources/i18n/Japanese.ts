<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name></name>
    <message id="IDS_OK">
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
</TS>
