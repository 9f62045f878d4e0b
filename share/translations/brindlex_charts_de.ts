<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>BarChartController</name>
    <message>
        <source>Bar Chart</source>
        <translation>Balkendiagramm</translation>
    </message>
    <message>
        <source>Num</source>
        <translation>Anzahl</translation>
    </message>
    <message>
        <source>Bar chart</source>
        <translation>Balkendiagramm</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>ChartViewController</name>
    <message>
        <source>Bar Chart</source>
        <translation>Balken</translation>
    </message>
    <message>
        <source>Pie Chart</source>
        <translation>Diagramm</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Bis</translation>
    </message>
    <message>
        <source>Num</source>
        <translation>Anzahl</translation>
    </message>
</context>
<context>
    <name>FullPieView</name>
    <message>
        <source>Pie chart</source>
        <translation>Tortendiagramm</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>ReportViewController</name>
    <message>
        <source>Report</source>
        <translation>Bericht</translation>
    </message>
    <message>
        <source>Month</source>
        <translation>Monat</translation>
    </message>
    <message>
        <source>Incoming</source>
        <translation>Eingehend</translation>
    </message>
    <message>
        <source>Outgoing</source>
        <translation>Ausgehend</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>Gesamt</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Bis</translation>
    </message>
    <message>
        <source>%1: Incoming %2, Outgoing %3</source>
        <translation>%1: Eingehend %2, Ausgehend %3</translation>
    </message>
</context>
</TS>
