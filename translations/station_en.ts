<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>SlotTile</name>
    <message numerus="yes">
        <source>No answer for %n s</source>
        <translation>
            <numerusform>No answer for %n s</numerusform>
            <numerusform>No answer for %n s</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>StationWindow</name>
    <message numerus="yes">
        <source>Stop ends the bench&apos;s service once the %n unit(s) being flashed are done. Stop it?</source>
        <translation>
            <numerusform>Stop ends the bench&apos;s service once the unit being flashed is done. Stop it?</numerusform>
            <numerusform>Stop ends the bench&apos;s service once the %n units being flashed are done. Stop it?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) being flashed. Let them finish, or cancel them (they are recorded as interrupted)?</source>
        <translation>
            <numerusform>A unit is being flashed. Let it finish, or cancel it (it is recorded as interrupted)?</numerusform>
            <numerusform>%n units being flashed. Let them finish, or cancel them (they are recorded as interrupted)?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Let them finish</source>
        <translation>
            <numerusform>Let it finish</numerusform>
            <numerusform>Let them finish</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancel them</source>
        <translation>
            <numerusform>Cancel it</numerusform>
            <numerusform>Cancel them</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) being flashed. Cancel them and quit? They are recorded as interrupted.</source>
        <translation>
            <numerusform>A unit is being flashed. Cancel it and quit? It is recorded as interrupted.</numerusform>
            <numerusform>%n units being flashed. Cancel them and quit? They are recorded as interrupted.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancel them and quit</source>
        <translation>
            <numerusform>Cancel it and quit</numerusform>
            <numerusform>Cancel them and quit</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1   %n lines   SHA-256 %2</source>
        <translation>
            <numerusform>%1   %n line   SHA-256 %2</numerusform>
            <numerusform>%1   %n lines   SHA-256 %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: its %n unit(s) are made</source>
        <translation>
            <numerusform>%1: its %n unit is made</numerusform>
            <numerusform>%1: its %n units are made</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %n unit(s)</source>
        <translation>
            <numerusform>%1: %n unit</numerusform>
            <numerusform>%1: %n units</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %n unit(s), permits here: %2</source>
        <translation>
            <numerusform>%1: %n unit, permits here: %2</numerusform>
            <numerusform>%1: %n units, permits here: %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 of %n left</source>
        <translation>
            <numerusform>%1: %2 of %n left</numerusform>
            <numerusform>%1: %2 of %n left</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 of %n left, permits here: %3</source>
        <translation>
            <numerusform>%1: %2 of %n left, permits here: %3</numerusform>
            <numerusform>%1: %2 of %n left, permits here: %3</numerusform>
        </translation>
    </message>
</context>
</TS>
