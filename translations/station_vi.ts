<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="vi">
<context>
    <name>AddSlotDialog</name>
    <message>
        <source>Add Slot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>USB %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>serial %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Ports the system reports:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>P&amp;ath:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LabelsDialog</name>
    <message>
        <source>Labels</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none: the scan field under the tiles</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A serial (USB CDC) barcode scanner, by its stable name under /dev/serial/by-id. A keyboard-wedge scanner needs none: it types into the scan field.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A unit &amp;waits until its label is scanned</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>any label</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A regular expression every label must match whole, such as LBL-[0-9]{6}</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep the number it had</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Give it a new number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refuse it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial &amp;scanner:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Label &amp;pattern:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A unit that passed &amp;before:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The pattern is no regular expression: %1 (at character %2).</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>Look in:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File &amp;name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Files of type:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>&amp;Abort</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Retry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Ignore</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SerialNumbersDialog</name>
    <message>
        <source>Serial Numbers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Put a serial number of its own into every unit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Where the firmware keeps its serial number: the firmware&apos;s linker map names the address.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Little-endian binary (le)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Big-endian binary (be)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Packed BCD, big-endian (bcd)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ASCII digits, zero-padded (ascii)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none: this bench&apos;s own numbers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Numbers shared by every bench of the factory, from its database (Records &gt; Database...); none held yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Leased and held here: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> numbers at a time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the first number, as nothing is kept yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kept in %1. It can be raised, never lowered: a number handed out once is never handed out again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Address:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Si&amp;ze:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Format:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;First number:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S&amp;tep:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Last number:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Next number:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Factory &amp;series:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Block:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Held here:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The address is hexadecimal, such as 0x040E, and ASCII digits take up to 20 bytes, the other formats up to 8.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The first number is a whole number.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The step is a whole number from 1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The last number is empty, or no lower than the first.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 bytes in this format hold numbers up to %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The next number can be raised, never lowered below %1: the numbers below it have been handed out.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SlotTile</name>
    <message>
        <source>adaptor unplugged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>remove the unit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>paused by the line controller</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>checking the unit&apos;s label</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>scan the unit&apos;s label</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the station is stopping</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>waiting for serial numbers from the database</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>many resends: clean and align the adaptor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopped</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plug in the adaptor</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port in use</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No access to the port</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Place a unit</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flashing</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No answer</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS</source>
        <extracomment>the unit&apos;s result, the largest word on its tile</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FAIL</source>
        <extracomment>the unit&apos;s result, the largest word on its tile</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 passed, %2 failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>clean and align the adaptor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>held by %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unplugged; looked for every second</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>looked for every second</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>place the next unit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 lines</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 left</source>
        <extracomment>the time left of an upload, as 0:42</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 passed, %2 failed;  this unit %3 % sent again</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>No answer for %n s</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>%1: %2</source>
        <extracomment>what a screen reader says of a tile: the slot&apos;s name and its state</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, unit %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, label %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, %1 of %2 lines</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, %1 percent resent</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StationSetup</name>
    <message>
        <source>The station&apos;s settings could not be saved to %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StationWindow</name>
    <message>
        <source>%1 - Tarvel Labs Firmware Station</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No bench&apos;s service is on the system bus.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Attach to Bench</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The bench&apos;s &amp;station service:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Released job %1, signed by %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop ends the bench&apos;s service. Stop it?</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Stop ends the bench&apos;s service once the %n unit(s) being flashed are done. Stop it?</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Stop the bench</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep running</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>broker: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Broker</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The station&apos;s state and every unit&apos;s record are published on the factory&apos;s MQTT
broker at this URL, where a line controller&apos;s commands are taken, such as
mqtt://bench@broker.factory/factory (empty: none). The password comes from
MQTT_PASSWORD or a file named by ?password-file=PATH, and is never kept here.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop the station (Shift+F5) before opening a job.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Released jobs (*.conf)|*.conf|All Files (*.*)|*.*</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The station window runs as root, for whom any unlock would be granted: run it as the operator&apos;s account.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no system bus here, so polkit, which decides who may change a released job&apos;s bench, cannot be asked. Close the job to change the bench.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Asking polkit ...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Released job %1, signed by %2 (%3). Locked: an engineer may unlock it (Station &gt; Unlock..., Ctrl+U).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Released job %1, signed by %2 (%3). Unlocked by %4 until %5: every change goes to the audit trail.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Changed since it was released: its units are no longer recorded as of the job.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware Files (*.s19 *.s28 *.s37 *.srec *.mot *.hex)|*.s19;*.s28;*.s37;*.srec;*.mot;*.hex|Text Files (*.TXT)|*.txt|All Files (*.*)|*.*</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scan a unit&apos;s label (or a slot&apos;s name, then the label)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scanned label</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open Firmware...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open &amp;Job...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Attach to Bench...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Close Job</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Pin SHA-256...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Serial Numbers...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Labels...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Export Bench Config...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S&amp;lot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Rename...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move &amp;Earlier</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Move &amp;Later</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Transcript</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Full Screen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Station</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Unlock...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Lock</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sound on &amp;Failure</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Records</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Choose Record File...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Database...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Broker...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Summary</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is empty: there is no line to send.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no SHA-256: it has 64 hexadecimal digits.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: each adaptor has one slot.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is in use. Stop the station (Shift+F5) before removing a slot.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This computer runs released jobs only (%1): open one with File &gt; Open Job... (Ctrl+J).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open the firmware file first (File &gt; Open Firmware..., Ctrl+O).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add a slot for each adaptor first (Slot &gt; Add..., Insert).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 fails its check (%2): only the window starts it anyway</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 fails its check (%2). Send it to every unit anyway?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send anyway</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do not start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This bench was changed from the released job %1, and this computer runs released jobs only: open the job again (File &gt; Open Job...), or have the changed bench signed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Choose another file under Records &gt; Choose Record File.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> See File &gt; Serial Numbers...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> See Records &gt; Database...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The station did not start: %1.%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) being flashed. Let them finish, or cancel them (they are recorded as interrupted)?</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Let them finish</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancel them</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) being flashed. Cancel them and quit? They are recorded as interrupted.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancel them and quit</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Open Firmware</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 not found!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop the station before opening another firmware file: the units of one run all get the same file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pin SHA-256</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The SHA-256 every unit&apos;s file must have (empty: none pinned):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Database</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every unit&apos;s record also goes to the factory&apos;s PostgreSQL at this URI, such as
postgresql://bench@db.factory/production (empty: none). The password comes from
PGPASSWORD or ~/.pgpass and is never kept here.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The password is not kept with the station&apos;s settings: put it in ~/.pgpass (a line host:port:database:user:password, the file readable by you alone).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The database is used from the next start of the station (Shift+F5, then F5).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export Bench Config</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bench Configs (*.conf)|*.conf|All Files (*.*)|*.*</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exported to %1: firmware-upload --station --config %1 runs this bench without a window.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose Record File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Records (*.jsonl)|*.jsonl|All Files (*.*)|*.*</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record Summary - %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rename Slot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The bench&apos;s service has no firmware file open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No firmware file: File &gt; Open Firmware... (Ctrl+O)</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%1   %n lines   SHA-256 %2</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>%1
SHA-256 %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fails its check: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, passes its check</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, passes its check; data %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pinned SHA-256 matches.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pinned SHA-256 %1... does NOT match: the station will not start.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial numbers at %1, the next %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 passed, %2 failed, units per hour: %3  (running)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 passed, %2 failed, units per hour: %3  (stopped)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>database: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
