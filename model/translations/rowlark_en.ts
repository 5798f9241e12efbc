<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- The English forms of the texts that hold a count: tr() with a number picks the singular or the plural. -->
<TS version="2.1" language="en_US" sourcelanguage="en_US">
<context>
    <name>rowlark::model::ComparisonModel</name>
    <message numerus="yes">
        <source>Exported %Ln row(s).</source>
        <translation>
            <numerusform>Exported %Ln row.</numerusform>
            <numerusform>Exported %Ln rows.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Exported %Ln row(s) of every pair of sheets.</source>
        <translation>
            <numerusform>Exported %Ln row of every pair of sheets.</numerusform>
            <numerusform>Exported %Ln rows of every pair of sheets.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Exported %Ln record(s) as a web page.</source>
        <translation>
            <numerusform>Exported %Ln record as a web page.</numerusform>
            <numerusform>Exported %Ln records as a web page.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln cell(s) longer than Excel holds end in “…”.</source>
        <translation>
            <numerusform>%Ln cell longer than Excel holds ends in “…”.</numerusform>
            <numerusform>%Ln cells longer than Excel holds end in “…”.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>rowlark::ui::shell::FileSlot</name>
    <message numerus="yes">
        <source>%Ln row(s)</source>
        <translation>
            <numerusform>%Ln row</numerusform>
            <numerusform>%Ln rows</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln column(s)</source>
        <translation>
            <numerusform>%Ln column</numerusform>
            <numerusform>%Ln columns</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>rowlark::ui::results::ResultsView</name>
    <message numerus="yes">
        <source>%Ln result(s)</source>
        <translation>
            <numerusform>%Ln result</numerusform>
            <numerusform>%Ln results</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n duplicate-key group(s) have ambiguous pairings. Review them or add another key column.</source>
        <translation>
            <numerusform>%n duplicate-key group has ambiguous pairings. Review it or add another key column.</numerusform>
            <numerusform>%n duplicate-key groups have ambiguous pairings. Review them or add another key column.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ResultTexts</name>
    <message numerus="yes">
        <source>%n changed field(s) · %1</source>
        <translation>
            <numerusform>%n changed field · %1</numerusform>
            <numerusform>%n changed fields · %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>rowlark::ui::results::ColumnChangesPanel</name>
    <message numerus="yes">
        <source>Share of %Ln changed record(s)</source>
        <translation>
            <numerusform>Share of %Ln changed record</numerusform>
            <numerusform>Share of %Ln changed records</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>rowlark::ui::results::ColumnChangesModel</name>
    <message numerus="yes">
        <source>%1 → %2
%3 of %Ln changed record(s) (%4)
%5</source>
        <translation>
            <numerusform>%1 → %2
%3 of %Ln changed record (%4)
%5</numerusform>
            <numerusform>%1 → %2
%3 of %Ln changed records (%4)
%5</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %Ln changed record(s), %2</source>
        <translation>
            <numerusform>%1: %Ln changed record, %2</numerusform>
            <numerusform>%1: %Ln changed records, %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %Ln changed record(s), %2, shown alone</source>
        <translation>
            <numerusform>%1: %Ln changed record, %2, shown alone</numerusform>
            <numerusform>%1: %Ln changed records, %2, shown alone</numerusform>
        </translation>
    </message>
</context>
</TS>
