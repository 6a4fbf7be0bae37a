<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AddSlotDialog</name>
    <message>
        <source>Add Slot</source>
        <translation>Platz hinzufügen</translation>
    </message>
    <message>
        <source>USB %1</source>
        <translation>USB %1</translation>
    </message>
    <message>
        <source>serial %1</source>
        <translation>seriell %1</translation>
    </message>
    <message>
        <source>&amp;Ports the system reports:</source>
        <translation>&amp;Anschlüsse, die das System meldet:</translation>
    </message>
    <message>
        <source>P&amp;ath:</source>
        <translation>P&amp;fad:</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Name:</translation>
    </message>
</context>
<context>
    <name>LabelsDialog</name>
    <message>
        <source>Labels</source>
        <translation>Etiketten</translation>
    </message>
    <message>
        <source>none: the scan field under the tiles</source>
        <translation>keiner: das Scanfeld unter den Kacheln</translation>
    </message>
    <message>
        <source>A serial (USB CDC) barcode scanner, by its stable name under /dev/serial/by-id. A keyboard-wedge scanner needs none: it types into the scan field.</source>
        <translation>Ein serieller Barcodescanner (USB CDC), mit seinem festen Namen unter /dev/serial/by-id. Ein Scanner, der wie eine Tastatur tippt, braucht keinen: Er schreibt in das Scanfeld.</translation>
    </message>
    <message>
        <source>A unit &amp;waits until its label is scanned</source>
        <translation>Ein Gerät &amp;wartet, bis sein Etikett gescannt ist</translation>
    </message>
    <message>
        <source>any label</source>
        <translation>jedes Etikett</translation>
    </message>
    <message>
        <source>A regular expression every label must match whole, such as LBL-[0-9]{6}</source>
        <translation>Ein regulärer Ausdruck, dem jedes Etikett ganz entsprechen muss, etwa LBL-[0-9]{6}</translation>
    </message>
    <message>
        <source>Keep the number it had</source>
        <translation>Die bisherige Nummer behalten</translation>
    </message>
    <message>
        <source>Give it a new number</source>
        <translation>Eine neue Nummer vergeben</translation>
    </message>
    <message>
        <source>Refuse it</source>
        <translation>Ablehnen</translation>
    </message>
    <message>
        <source>Serial &amp;scanner:</source>
        <translation>Serieller &amp;Scanner:</translation>
    </message>
    <message>
        <source>Label &amp;pattern:</source>
        <translation>Etiketten&amp;muster:</translation>
    </message>
    <message>
        <source>A unit that passed &amp;before:</source>
        <translation>Ein Gerät, das &amp;schon bestanden hat:</translation>
    </message>
    <message>
        <source>The pattern is no regular expression: %1 (at character %2).</source>
        <translation>Das Muster ist kein regulärer Ausdruck: %1 (bei Zeichen %2).</translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>Look in:</source>
        <translation>Suchen in:</translation>
    </message>
    <message>
        <source>File &amp;name:</source>
        <translation>Datei&amp;name:</translation>
    </message>
    <message>
        <source>Files of type:</source>
        <translation>Dateien des Typs:</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>&amp;Abort</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>&amp;Retry</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>&amp;Ignore</source>
        <translation>&amp;Ignorieren</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Ja</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Nein</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
</context>
<context>
    <name>SerialNumbersDialog</name>
    <message>
        <source>Serial Numbers</source>
        <translation>Seriennummern</translation>
    </message>
    <message>
        <source>&amp;Put a serial number of its own into every unit</source>
        <translation>Jedem Gerät eine eigene Seriennummer &amp;geben</translation>
    </message>
    <message>
        <source>Where the firmware keeps its serial number: the firmware&apos;s linker map names the address.</source>
        <translation>Wo die Firmware ihre Seriennummer hält: Die Linker-Map der Firmware nennt die Adresse.</translation>
    </message>
    <message>
        <source> bytes</source>
        <translation> Bytes</translation>
    </message>
    <message>
        <source>Little-endian binary (le)</source>
        <translation>Binär, Little-Endian (le)</translation>
    </message>
    <message>
        <source>Big-endian binary (be)</source>
        <translation>Binär, Big-Endian (be)</translation>
    </message>
    <message>
        <source>Packed BCD, big-endian (bcd)</source>
        <translation>Gepacktes BCD, Big-Endian (bcd)</translation>
    </message>
    <message>
        <source>ASCII digits, zero-padded (ascii)</source>
        <translation>ASCII-Ziffern, mit Nullen aufgefüllt (ascii)</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>none: this bench&apos;s own numbers</source>
        <translation>keine: die eigenen Nummern dieser Werkbank</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 bis %2</translation>
    </message>
    <message>
        <source>Numbers shared by every bench of the factory, from its database (Records &gt; Database...); none held yet</source>
        <translation>Nummern, die sich alle Werkbänke der Fabrik teilen, aus ihrer Datenbank (Protokoll &gt; Datenbank...); noch keine hier</translation>
    </message>
    <message>
        <source>Leased and held here: %1</source>
        <translation>Hier geliehen und gehalten: %1</translation>
    </message>
    <message>
        <source> numbers at a time</source>
        <translation> Nummern auf einmal</translation>
    </message>
    <message>
        <source>the first number, as nothing is kept yet</source>
        <translation>die erste Nummer, da noch nichts gespeichert ist</translation>
    </message>
    <message>
        <source>Kept in %1. It can be raised, never lowered: a number handed out once is never handed out again.</source>
        <translation>Gespeichert in %1. Sie kann erhöht, nie gesenkt werden: Eine einmal vergebene Nummer wird nie wieder vergeben.</translation>
    </message>
    <message>
        <source>&amp;Address:</source>
        <translation>&amp;Adresse:</translation>
    </message>
    <message>
        <source>Si&amp;ze:</source>
        <translation>&amp;Größe:</translation>
    </message>
    <message>
        <source>&amp;Format:</source>
        <translation>&amp;Format:</translation>
    </message>
    <message>
        <source>&amp;First number:</source>
        <translation>&amp;Erste Nummer:</translation>
    </message>
    <message>
        <source>S&amp;tep:</source>
        <translation>S&amp;chrittweite:</translation>
    </message>
    <message>
        <source>&amp;Last number:</source>
        <translation>&amp;Letzte Nummer:</translation>
    </message>
    <message>
        <source>&amp;Next number:</source>
        <translation>&amp;Nächste Nummer:</translation>
    </message>
    <message>
        <source>Factory &amp;series:</source>
        <translation>Fabrik&amp;serie:</translation>
    </message>
    <message>
        <source>&amp;Block:</source>
        <translation>&amp;Block:</translation>
    </message>
    <message>
        <source>Held here:</source>
        <translation>Hier gehalten:</translation>
    </message>
    <message>
        <source>The address is hexadecimal, such as 0x040E, and ASCII digits take up to 20 bytes, the other formats up to 8.</source>
        <translation>Die Adresse ist hexadezimal, etwa 0x040E; ASCII-Ziffern belegen bis zu 20 Bytes, die anderen Formate bis zu 8.</translation>
    </message>
    <message>
        <source>The first number is a whole number.</source>
        <translation>Die erste Nummer ist eine ganze Zahl.</translation>
    </message>
    <message>
        <source>The step is a whole number from 1.</source>
        <translation>Die Schrittweite ist eine ganze Zahl ab 1.</translation>
    </message>
    <message>
        <source>The last number is empty, or no lower than the first.</source>
        <translation>Die letzte Nummer ist leer oder nicht kleiner als die erste.</translation>
    </message>
    <message>
        <source>%1 bytes in this format hold numbers up to %2.</source>
        <translation>%1 Bytes fassen in diesem Format Nummern bis %2.</translation>
    </message>
    <message>
        <source>The next number can be raised, never lowered below %1: the numbers below it have been handed out.</source>
        <translation>Die nächste Nummer kann erhöht, nie unter %1 gesenkt werden: Die Nummern darunter sind vergeben.</translation>
    </message>
</context>
<context>
    <name>SlotTile</name>
    <message>
        <source>adaptor unplugged</source>
        <translation>Adapter abgezogen</translation>
    </message>
    <message>
        <source>remove the unit</source>
        <translation>Gerät entnehmen</translation>
    </message>
    <message>
        <source>paused by the line controller</source>
        <translation>von der Liniensteuerung angehalten</translation>
    </message>
    <message>
        <source>checking the unit&apos;s label</source>
        <translation>Etikett des Geräts wird geprüft</translation>
    </message>
    <message>
        <source>scan the unit&apos;s label</source>
        <translation>Etikett des Geräts scannen</translation>
    </message>
    <message>
        <source>the station is stopping</source>
        <translation>die Station hält an</translation>
    </message>
    <message>
        <source>waiting for serial numbers from the database</source>
        <translation>wartet auf Seriennummern aus der Datenbank</translation>
    </message>
    <message>
        <source>many resends: clean and align the adaptor</source>
        <translation>viele Wiederholungen: Adapter reinigen und ausrichten</translation>
    </message>
    <message>
        <source>Stopped</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>Plug in the adaptor</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Adapter einstecken</translation>
    </message>
    <message>
        <source>Port in use</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Anschluss belegt</translation>
    </message>
    <message>
        <source>No access to the port</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Kein Zugriff auf den Anschluss</translation>
    </message>
    <message>
        <source>Place a unit</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Gerät auflegen</translation>
    </message>
    <message>
        <source>Flashing</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Wird geflasht</translation>
    </message>
    <message>
        <source>No answer</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Keine Antwort</translation>
    </message>
    <message>
        <source>PASS</source>
        <extracomment>the unit&apos;s result, the largest word on its tile</extracomment>
        <translation>OK</translation>
    </message>
    <message>
        <source>FAIL</source>
        <extracomment>the unit&apos;s result, the largest word on its tile</extracomment>
        <translation>FEHLER</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed</source>
        <translation>%1 bestanden, %2 fehlerhaft</translation>
    </message>
    <message>
        <source>clean and align the adaptor</source>
        <translation>Adapter reinigen und ausrichten</translation>
    </message>
    <message>
        <source>held by %1</source>
        <translation>belegt von %1</translation>
    </message>
    <message>
        <source>unplugged; looked for every second</source>
        <translation>abgezogen; wird jede Sekunde gesucht</translation>
    </message>
    <message>
        <source>looked for every second</source>
        <translation>wird jede Sekunde gesucht</translation>
    </message>
    <message>
        <source>place the next unit</source>
        <translation>nächstes Gerät auflegen</translation>
    </message>
    <message>
        <source>%1 of %2 lines</source>
        <translation>%1 von %2 Zeilen</translation>
    </message>
    <message>
        <source>%1 left</source>
        <extracomment>the time left of an upload, as 0:42</extracomment>
        <translation>noch %1</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed;  this unit %3 % sent again</source>
        <translation>%1 bestanden, %2 fehlerhaft;  dieses Gerät %3 % wiederholt</translation>
    </message>
    <message numerus="yes">
        <source>No answer for %n s</source>
        <translation>
            <numerusform>%n s keine Antwort</numerusform>
            <numerusform>%n s keine Antwort</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: %2</source>
        <extracomment>what a screen reader says of a tile: the slot&apos;s name and its state</extracomment>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>, unit %1</source>
        <translation>, Gerät %1</translation>
    </message>
    <message>
        <source>, label %1</source>
        <translation>, Etikett %1</translation>
    </message>
    <message>
        <source>, %1 of %2 lines</source>
        <translation>, %1 von %2 Zeilen</translation>
    </message>
    <message>
        <source>, %1 percent resent</source>
        <translation>, %1 Prozent wiederholt</translation>
    </message>
</context>
<context>
    <name>StationSetup</name>
    <message>
        <source>The station&apos;s settings could not be saved to %1.</source>
        <translation>Die Einstellungen der Station konnten nicht in %1 gespeichert werden.</translation>
    </message>
</context>
<context>
    <name>StationWindow</name>
    <message>
        <source>%1 - Tarvel Labs Firmware Station</source>
        <translation>%1 - Tarvel Labs Firmware Station</translation>
    </message>
    <message>
        <source>No bench&apos;s service is on the system bus.</source>
        <translation>Auf dem Systembus ist kein Dienst einer Werkbank.</translation>
    </message>
    <message>
        <source>Attach to Bench</source>
        <translation>An Werkbank anbinden</translation>
    </message>
    <message>
        <source>The bench&apos;s &amp;station service:</source>
        <translation>&amp;Stationsdienst der Werkbank:</translation>
    </message>
    <message>
        <source>Released job %1, signed by %2</source>
        <translation>Freigegebener Job %1, signiert von %2</translation>
    </message>
    <message>
        <source>Stop ends the bench&apos;s service. Stop it?</source>
        <translation>Anhalten beendet den Dienst der Werkbank. Anhalten?</translation>
    </message>
    <message numerus="yes">
        <source>Stop ends the bench&apos;s service once the %n unit(s) being flashed are done. Stop it?</source>
        <translation>
            <numerusform>Anhalten beendet den Dienst der Werkbank, sobald das %n Gerät fertig geflasht ist. Anhalten?</numerusform>
            <numerusform>Anhalten beendet den Dienst der Werkbank, sobald die %n Geräte fertig geflasht sind. Anhalten?</numerusform>
        </translation>
    </message>
    <message>
        <source>Stop the bench</source>
        <translation>Werkbank anhalten</translation>
    </message>
    <message>
        <source>Keep running</source>
        <translation>Weiterlaufen lassen</translation>
    </message>
    <message>
        <source>broker: %1</source>
        <translation>Broker: %1</translation>
    </message>
    <message>
        <source>Broker</source>
        <translation>Broker</translation>
    </message>
    <message>
        <source>The station&apos;s state and every unit&apos;s record are published on the factory&apos;s MQTT
broker at this URL, where a line controller&apos;s commands are taken, such as
mqtt://bench@broker.factory/factory (empty: none). The password comes from
MQTT_PASSWORD or a file named by ?password-file=PATH, and is never kept here.</source>
        <translation>Der Zustand der Station und das Protokoll jedes Geräts werden auf dem MQTT-Broker
der Fabrik unter dieser URL veröffentlicht, wo auch die Befehle einer Liniensteuerung
ankommen, etwa mqtt://bench@broker.factory/factory (leer: keiner). Das Passwort kommt
aus MQTT_PASSWORD oder einer mit ?password-file=PFAD genannten Datei und wird nie hier gespeichert.</translation>
    </message>
    <message>
        <source>Stop the station (Shift+F5) before opening a job.</source>
        <translation>Halten Sie die Station an (Umschalt+F5), bevor Sie einen Job öffnen.</translation>
    </message>
    <message>
        <source>Open Job</source>
        <translation>Job öffnen</translation>
    </message>
    <message>
        <source>Released jobs (*.conf)|*.conf|All Files (*.*)|*.*</source>
        <translation>Freigegebene Jobs (*.conf)|*.conf|Alle Dateien (*.*)|*.*</translation>
    </message>
    <message>
        <source>The station window runs as root, for whom any unlock would be granted: run it as the operator&apos;s account.</source>
        <translation>Das Stationsfenster läuft als root, dem jedes Entsperren gewährt würde: Starten Sie es mit dem Konto des Bedieners.</translation>
    </message>
    <message>
        <source>There is no system bus here, so polkit, which decides who may change a released job&apos;s bench, cannot be asked. Close the job to change the bench.</source>
        <translation>Hier gibt es keinen Systembus, daher kann polkit, das entscheidet, wer die Werkbank eines freigegebenen Jobs ändern darf, nicht gefragt werden. Schließen Sie den Job, um die Werkbank zu ändern.</translation>
    </message>
    <message>
        <source>Asking polkit ...</source>
        <translation>polkit wird gefragt ...</translation>
    </message>
    <message>
        <source>Released job %1, signed by %2 (%3). Locked: an engineer may unlock it (Station &gt; Unlock..., Ctrl+U).</source>
        <translation>Freigegebener Job %1, signiert von %2 (%3). Gesperrt: Ein Ingenieur kann ihn entsperren (Station &gt; Entsperren..., Strg+U).</translation>
    </message>
    <message>
        <source>Released job %1, signed by %2 (%3). Unlocked by %4 until %5: every change goes to the audit trail.</source>
        <translation>Freigegebener Job %1, signiert von %2 (%3). Entsperrt von %4 bis %5: Jede Änderung kommt in den Prüfpfad.</translation>
    </message>
    <message>
        <source>Changed since it was released: its units are no longer recorded as of the job.</source>
        <translation>Seit der Freigabe geändert: Seine Geräte werden nicht mehr als Geräte des Jobs protokolliert.</translation>
    </message>
    <message>
        <source>Firmware Files (*.s19 *.s28 *.s37 *.srec *.mot *.hex)|*.s19;*.s28;*.s37;*.srec;*.mot;*.hex|Text Files (*.TXT)|*.txt|All Files (*.*)|*.*</source>
        <translation>Firmware-Dateien (*.s19 *.s28 *.s37 *.srec *.mot *.hex)|*.s19;*.s28;*.s37;*.srec;*.mot;*.hex|Textdateien (*.TXT)|*.txt|Alle Dateien (*.*)|*.*</translation>
    </message>
    <message>
        <source>Scan a unit&apos;s label (or a slot&apos;s name, then the label)</source>
        <translation>Etikett eines Geräts scannen (oder den Namen eines Platzes, dann das Etikett)</translation>
    </message>
    <message>
        <source>Scanned label</source>
        <translation>Gescanntes Etikett</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Start</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>&amp;Anhalten</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Open Firmware...</source>
        <translation>&amp;Firmware öffnen...</translation>
    </message>
    <message>
        <source>Open &amp;Job...</source>
        <translation>&amp;Job öffnen...</translation>
    </message>
    <message>
        <source>&amp;Attach to Bench...</source>
        <translation>&amp;An Werkbank anbinden...</translation>
    </message>
    <message>
        <source>&amp;Close Job</source>
        <translation>Job s&amp;chließen</translation>
    </message>
    <message>
        <source>&amp;Pin SHA-256...</source>
        <translation>SHA-256 festle&amp;gen...</translation>
    </message>
    <message>
        <source>&amp;Serial Numbers...</source>
        <translation>&amp;Seriennummern...</translation>
    </message>
    <message>
        <source>&amp;Labels...</source>
        <translation>&amp;Etiketten...</translation>
    </message>
    <message>
        <source>&amp;Export Bench Config...</source>
        <translation>Werkbank-Konfiguration e&amp;xportieren...</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>S&amp;lot</source>
        <translation>&amp;Platz</translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation>&amp;Hinzufügen...</translation>
    </message>
    <message>
        <source>&amp;Rename...</source>
        <translation>&amp;Umbenennen...</translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Move &amp;Earlier</source>
        <translation>Nach &amp;vorn</translation>
    </message>
    <message>
        <source>Move &amp;Later</source>
        <translation>Nach &amp;hinten</translation>
    </message>
    <message>
        <source>&amp;Transcript</source>
        <translation>&amp;Mitschrift</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Full Screen</source>
        <translation>&amp;Vollbild</translation>
    </message>
    <message>
        <source>&amp;Station</source>
        <translation>&amp;Station</translation>
    </message>
    <message>
        <source>&amp;Unlock...</source>
        <translation>&amp;Entsperren...</translation>
    </message>
    <message>
        <source>&amp;Lock</source>
        <translation>S&amp;perren</translation>
    </message>
    <message>
        <source>Sound on &amp;Failure</source>
        <translation>Ton bei &amp;Fehler</translation>
    </message>
    <message>
        <source>&amp;Records</source>
        <translation>P&amp;rotokoll</translation>
    </message>
    <message>
        <source>&amp;Choose Record File...</source>
        <translation>Protokolldatei &amp;wählen...</translation>
    </message>
    <message>
        <source>&amp;Database...</source>
        <translation>&amp;Datenbank...</translation>
    </message>
    <message>
        <source>&amp;Broker...</source>
        <translation>&amp;Broker...</translation>
    </message>
    <message>
        <source>&amp;Summary</source>
        <translation>&amp;Zusammenfassung</translation>
    </message>
    <message>
        <source>%1 is empty: there is no line to send.</source>
        <translation>%1 ist leer: Es gibt keine Zeile zu senden.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no SHA-256: it has 64 hexadecimal digits.</source>
        <translation>„%1“ ist keine SHA-256: Sie hat 64 Hexadezimalziffern.</translation>
    </message>
    <message>
        <source>%1: each adaptor has one slot.</source>
        <translation>%1: Jeder Adapter hat einen Platz.</translation>
    </message>
    <message>
        <source>%1 is in use. Stop the station (Shift+F5) before removing a slot.</source>
        <translation>%1 ist in Gebrauch. Halten Sie die Station an (Umschalt+F5), bevor Sie einen Platz entfernen.</translation>
    </message>
    <message>
        <source>This computer runs released jobs only (%1): open one with File &gt; Open Job... (Ctrl+J).</source>
        <translation>Dieser Rechner führt nur freigegebene Jobs aus (%1): Öffnen Sie einen mit Datei &gt; Job öffnen... (Strg+J).</translation>
    </message>
    <message>
        <source>Open the firmware file first (File &gt; Open Firmware..., Ctrl+O).</source>
        <translation>Öffnen Sie zuerst die Firmware-Datei (Datei &gt; Firmware öffnen..., Strg+O).</translation>
    </message>
    <message>
        <source>Add a slot for each adaptor first (Slot &gt; Add..., Insert).</source>
        <translation>Fügen Sie zuerst für jeden Adapter einen Platz hinzu (Platz &gt; Hinzufügen..., Einfg).</translation>
    </message>
    <message>
        <source>%1 fails its check (%2): only the window starts it anyway</source>
        <translation>%1 besteht seine Prüfung nicht (%2): Nur das Fenster startet es trotzdem</translation>
    </message>
    <message>
        <source>%1 fails its check (%2). Send it to every unit anyway?</source>
        <translation>%1 besteht seine Prüfung nicht (%2). Trotzdem an jedes Gerät senden?</translation>
    </message>
    <message>
        <source>Send anyway</source>
        <translation>Trotzdem senden</translation>
    </message>
    <message>
        <source>Do not start</source>
        <translation>Nicht starten</translation>
    </message>
    <message>
        <source>This bench was changed from the released job %1, and this computer runs released jobs only: open the job again (File &gt; Open Job...), or have the changed bench signed.</source>
        <translation>Diese Werkbank wurde gegenüber dem freigegebenen Job %1 geändert, und dieser Rechner führt nur freigegebene Jobs aus: Öffnen Sie den Job erneut (Datei &gt; Job öffnen...) oder lassen Sie die geänderte Werkbank signieren.</translation>
    </message>
    <message>
        <source> Choose another file under Records &gt; Choose Record File.</source>
        <translation> Wählen Sie eine andere Datei unter Protokoll &gt; Protokolldatei wählen.</translation>
    </message>
    <message>
        <source> See File &gt; Serial Numbers...</source>
        <translation> Siehe Datei &gt; Seriennummern...</translation>
    </message>
    <message>
        <source> See Records &gt; Database...</source>
        <translation> Siehe Protokoll &gt; Datenbank...</translation>
    </message>
    <message>
        <source>The station did not start: %1.%2</source>
        <translation>Die Station ist nicht gestartet: %1.%2</translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) being flashed. Let them finish, or cancel them (they are recorded as interrupted)?</source>
        <translation>
            <numerusform>%n Gerät wird geflasht. Fertig flashen lassen oder abbrechen (es wird als unterbrochen protokolliert)?</numerusform>
            <numerusform>%n Geräte werden geflasht. Fertig flashen lassen oder abbrechen (sie werden als unterbrochen protokolliert)?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Let them finish</source>
        <translation>
            <numerusform>Fertig flashen lassen</numerusform>
            <numerusform>Fertig flashen lassen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancel them</source>
        <translation>
            <numerusform>Abbrechen</numerusform>
            <numerusform>Abbrechen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) being flashed. Cancel them and quit? They are recorded as interrupted.</source>
        <translation>
            <numerusform>%n Gerät wird geflasht. Abbrechen und beenden? Es wird als unterbrochen protokolliert.</numerusform>
            <numerusform>%n Geräte werden geflasht. Abbrechen und beenden? Sie werden als unterbrochen protokolliert.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancel them and quit</source>
        <translation>
            <numerusform>Abbrechen und beenden</numerusform>
            <numerusform>Abbrechen und beenden</numerusform>
        </translation>
    </message>
    <message>
        <source>Open Firmware</source>
        <translation>Firmware öffnen</translation>
    </message>
    <message>
        <source>%1 not found!</source>
        <translation>%1 nicht gefunden!</translation>
    </message>
    <message>
        <source>Stop the station before opening another firmware file: the units of one run all get the same file.</source>
        <translation>Halten Sie die Station an, bevor Sie eine andere Firmware-Datei öffnen: Alle Geräte eines Laufs erhalten dieselbe Datei.</translation>
    </message>
    <message>
        <source>Pin SHA-256</source>
        <translation>SHA-256 festlegen</translation>
    </message>
    <message>
        <source>The SHA-256 every unit&apos;s file must have (empty: none pinned):</source>
        <translation>Die SHA-256, die die Datei jedes Geräts haben muss (leer: keine festgelegt):</translation>
    </message>
    <message>
        <source>Database</source>
        <translation>Datenbank</translation>
    </message>
    <message>
        <source>Every unit&apos;s record also goes to the factory&apos;s PostgreSQL at this URI, such as
postgresql://bench@db.factory/production (empty: none). The password comes from
PGPASSWORD or ~/.pgpass and is never kept here.</source>
        <translation>Das Protokoll jedes Geräts geht auch an die PostgreSQL-Datenbank der Fabrik unter dieser URI, etwa
postgresql://bench@db.factory/production (leer: keine). Das Passwort kommt aus
PGPASSWORD oder ~/.pgpass und wird nie hier gespeichert.</translation>
    </message>
    <message>
        <source>The password is not kept with the station&apos;s settings: put it in ~/.pgpass (a line host:port:database:user:password, the file readable by you alone).</source>
        <translation>Das Passwort wird nicht mit den Einstellungen der Station gespeichert: Tragen Sie es in ~/.pgpass ein (eine Zeile host:port:database:user:password, die Datei nur für Sie lesbar).</translation>
    </message>
    <message>
        <source>The database is used from the next start of the station (Shift+F5, then F5).</source>
        <translation>Die Datenbank wird ab dem nächsten Start der Station verwendet (Umschalt+F5, dann F5).</translation>
    </message>
    <message>
        <source>Export Bench Config</source>
        <translation>Werkbank-Konfiguration exportieren</translation>
    </message>
    <message>
        <source>Bench Configs (*.conf)|*.conf|All Files (*.*)|*.*</source>
        <translation>Werkbank-Konfigurationen (*.conf)|*.conf|Alle Dateien (*.*)|*.*</translation>
    </message>
    <message>
        <source>Exported to %1: firmware-upload --station --config %1 runs this bench without a window.</source>
        <translation>Exportiert nach %1: firmware-upload --station --config %1 betreibt diese Werkbank ohne Fenster.</translation>
    </message>
    <message>
        <source>Choose Record File</source>
        <translation>Protokolldatei wählen</translation>
    </message>
    <message>
        <source>Records (*.jsonl)|*.jsonl|All Files (*.*)|*.*</source>
        <translation>Protokolle (*.jsonl)|*.jsonl|Alle Dateien (*.*)|*.*</translation>
    </message>
    <message>
        <source>Record Summary - %1</source>
        <translation>Protokoll-Zusammenfassung - %1</translation>
    </message>
    <message>
        <source>Rename Slot</source>
        <translation>Platz umbenennen</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Name:</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>The bench&apos;s service has no firmware file open</source>
        <translation>Der Dienst der Werkbank hat keine Firmware-Datei geöffnet</translation>
    </message>
    <message>
        <source>No firmware file: File &gt; Open Firmware... (Ctrl+O)</source>
        <translation>Keine Firmware-Datei: Datei &gt; Firmware öffnen... (Strg+O)</translation>
    </message>
    <message numerus="yes">
        <source>%1   %n lines   SHA-256 %2</source>
        <translation>
            <numerusform>%1   %n Zeile   SHA-256 %2</numerusform>
            <numerusform>%1   %n Zeilen   SHA-256 %2</numerusform>
        </translation>
    </message>
    <message>
        <source>%1
SHA-256 %2</source>
        <translation>%1
SHA-256 %2</translation>
    </message>
    <message>
        <source>Fails its check: %1</source>
        <translation>Besteht die Prüfung nicht: %1</translation>
    </message>
    <message>
        <source>%1, passes its check</source>
        <translation>%1, besteht die Prüfung</translation>
    </message>
    <message>
        <source>%1, passes its check; data %2</source>
        <translation>%1, besteht die Prüfung; Daten %2</translation>
    </message>
    <message>
        <source>Pinned SHA-256 matches.</source>
        <translation>Festgelegte SHA-256 stimmt.</translation>
    </message>
    <message>
        <source>Pinned SHA-256 %1... does NOT match: the station will not start.</source>
        <translation>Festgelegte SHA-256 %1... stimmt NICHT: Die Station startet nicht.</translation>
    </message>
    <message>
        <source>Serial numbers at %1, the next %2.</source>
        <translation>Seriennummern bei %1, die nächste %2.</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed, units per hour: %3  (running)</source>
        <translation>%1 bestanden, %2 fehlerhaft, Geräte pro Stunde: %3  (läuft)</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed, units per hour: %3  (stopped)</source>
        <translation>%1 bestanden, %2 fehlerhaft, Geräte pro Stunde: %3  (angehalten)</translation>
    </message>
    <message>
        <source>Record: %1</source>
        <translation>Protokoll: %1</translation>
    </message>
    <message>
        <source>database: %1</source>
        <translation>Datenbank: %1</translation>
    </message>
    <message>
        <source>the window&apos;s own station is running: stop it first</source>
        <translation>die eigene Station des Fensters läuft: erst anhalten</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>&amp;Sprache</translation>
    </message>
    <message>
        <source>The &amp;System&apos;s</source>
        <translation>&amp;Systemsprache</translation>
    </message>
    <message numerus="yes">
        <source>%1: its %n unit(s) are made</source>
        <translation>
            <numerusform>%1: sein %n Gerät ist gefertigt</numerusform>
            <numerusform>%1: seine %n Geräte sind gefertigt</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %n unit(s)</source>
        <translation>
            <numerusform>%1: %n Gerät</numerusform>
            <numerusform>%1: %n Geräte</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %n unit(s), permits here: %2</source>
        <translation>
            <numerusform>%1: %n Gerät, Freigaben hier: %2</numerusform>
            <numerusform>%1: %n Geräte, Freigaben hier: %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 of %n left</source>
        <translation>
            <numerusform>%1: %2 von %n übrig</numerusform>
            <numerusform>%1: %2 von %n übrig</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 of %n left, permits here: %3</source>
        <translation>
            <numerusform>%1: %2 von %n übrig, Freigaben hier: %3</numerusform>
            <numerusform>%1: %2 von %n übrig, Freigaben hier: %3</numerusform>
        </translation>
    </message>
    <message>
        <source>This window has no words in %1: it shows them in English.</source>
        <translation>Dieses Fenster hat keine Wörter in %1: Es zeigt sie auf Englisch.</translation>
    </message>
</context>
</TS>
