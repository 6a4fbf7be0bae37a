<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>AddSlotDialog</name>
    <message>
        <source>Add Slot</source>
        <translation>Añadir puesto</translation>
    </message>
    <message>
        <source>USB %1</source>
        <translation>USB %1</translation>
    </message>
    <message>
        <source>serial %1</source>
        <translation>serie %1</translation>
    </message>
    <message>
        <source>&amp;Ports the system reports:</source>
        <translation>&amp;Puertos que indica el sistema:</translation>
    </message>
    <message>
        <source>P&amp;ath:</source>
        <translation>&amp;Ruta:</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Nombre:</translation>
    </message>
</context>
<context>
    <name>LabelsDialog</name>
    <message>
        <source>Labels</source>
        <translation>Etiquetas</translation>
    </message>
    <message>
        <source>none: the scan field under the tiles</source>
        <translation>ninguno: el campo de escaneo bajo los recuadros</translation>
    </message>
    <message>
        <source>A serial (USB CDC) barcode scanner, by its stable name under /dev/serial/by-id. A keyboard-wedge scanner needs none: it types into the scan field.</source>
        <translation>Un lector de códigos de barras serie (USB CDC), por su nombre estable en /dev/serial/by-id. Un lector que escribe como un teclado no necesita ninguno: escribe en el campo de escaneo.</translation>
    </message>
    <message>
        <source>A unit &amp;waits until its label is scanned</source>
        <translation>Una unidad &amp;espera hasta que se escanea su etiqueta</translation>
    </message>
    <message>
        <source>any label</source>
        <translation>cualquier etiqueta</translation>
    </message>
    <message>
        <source>A regular expression every label must match whole, such as LBL-[0-9]{6}</source>
        <translation>Una expresión regular con la que debe coincidir cada etiqueta entera, como LBL-[0-9]{6}</translation>
    </message>
    <message>
        <source>Keep the number it had</source>
        <translation>Conservar el número que tenía</translation>
    </message>
    <message>
        <source>Give it a new number</source>
        <translation>Darle un número nuevo</translation>
    </message>
    <message>
        <source>Refuse it</source>
        <translation>Rechazarla</translation>
    </message>
    <message>
        <source>Serial &amp;scanner:</source>
        <translation>Lector &amp;serie:</translation>
    </message>
    <message>
        <source>Label &amp;pattern:</source>
        <translation>&amp;Patrón de etiqueta:</translation>
    </message>
    <message>
        <source>A unit that passed &amp;before:</source>
        <translation>Una unidad que ya &amp;pasó:</translation>
    </message>
    <message>
        <source>The pattern is no regular expression: %1 (at character %2).</source>
        <translation>El patrón no es una expresión regular: %1 (en el carácter %2).</translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>Look in:</source>
        <translation>Ver en:</translation>
    </message>
    <message>
        <source>File &amp;name:</source>
        <translation>&amp;Nombre de fichero:</translation>
    </message>
    <message>
        <source>Files of type:</source>
        <translation>Ficheros de tipo:</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>&amp;Abrir</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Guardar</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>&amp;Abort</source>
        <translation>&amp;Abortar</translation>
    </message>
    <message>
        <source>&amp;Retry</source>
        <translation>&amp;Reintentar</translation>
    </message>
    <message>
        <source>&amp;Ignore</source>
        <translation>&amp;Ignorar</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Sí</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Abrir</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Guardar</translation>
    </message>
</context>
<context>
    <name>SerialNumbersDialog</name>
    <message>
        <source>Serial Numbers</source>
        <translation>Números de serie</translation>
    </message>
    <message>
        <source>&amp;Put a serial number of its own into every unit</source>
        <translation>&amp;Poner en cada unidad su propio número de serie</translation>
    </message>
    <message>
        <source>Where the firmware keeps its serial number: the firmware&apos;s linker map names the address.</source>
        <translation>Dónde guarda el firmware su número de serie: el mapa del enlazador del firmware indica la dirección.</translation>
    </message>
    <message>
        <source> bytes</source>
        <translation> bytes</translation>
    </message>
    <message>
        <source>Little-endian binary (le)</source>
        <translation>Binario little-endian (le)</translation>
    </message>
    <message>
        <source>Big-endian binary (be)</source>
        <translation>Binario big-endian (be)</translation>
    </message>
    <message>
        <source>Packed BCD, big-endian (bcd)</source>
        <translation>BCD empaquetado, big-endian (bcd)</translation>
    </message>
    <message>
        <source>ASCII digits, zero-padded (ascii)</source>
        <translation>Dígitos ASCII, rellenos con ceros (ascii)</translation>
    </message>
    <message>
        <source>none</source>
        <translation>ninguno</translation>
    </message>
    <message>
        <source>none: this bench&apos;s own numbers</source>
        <translation>ninguna: los números propios de este banco</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 a %2</translation>
    </message>
    <message>
        <source>Numbers shared by every bench of the factory, from its database (Records &gt; Database...); none held yet</source>
        <translation>Números compartidos por todos los bancos de la fábrica, de su base de datos (Registros &gt; Base de datos...); aún no hay ninguno aquí</translation>
    </message>
    <message>
        <source>Leased and held here: %1</source>
        <translation>Reservados y guardados aquí: %1</translation>
    </message>
    <message>
        <source> numbers at a time</source>
        <translation> números a la vez</translation>
    </message>
    <message>
        <source>the first number, as nothing is kept yet</source>
        <translation>el primer número, pues aún no se guarda nada</translation>
    </message>
    <message>
        <source>Kept in %1. It can be raised, never lowered: a number handed out once is never handed out again.</source>
        <translation>Se guarda en %1. Puede subirse, nunca bajarse: un número entregado una vez no se vuelve a entregar.</translation>
    </message>
    <message>
        <source>&amp;Address:</source>
        <translation>&amp;Dirección:</translation>
    </message>
    <message>
        <source>Si&amp;ze:</source>
        <translation>&amp;Tamaño:</translation>
    </message>
    <message>
        <source>&amp;Format:</source>
        <translation>&amp;Formato:</translation>
    </message>
    <message>
        <source>&amp;First number:</source>
        <translation>&amp;Primer número:</translation>
    </message>
    <message>
        <source>S&amp;tep:</source>
        <translation>P&amp;aso:</translation>
    </message>
    <message>
        <source>&amp;Last number:</source>
        <translation>Ú&amp;ltimo número:</translation>
    </message>
    <message>
        <source>&amp;Next number:</source>
        <translation>&amp;Siguiente número:</translation>
    </message>
    <message>
        <source>Factory &amp;series:</source>
        <translation>&amp;Serie de fábrica:</translation>
    </message>
    <message>
        <source>&amp;Block:</source>
        <translation>&amp;Bloque:</translation>
    </message>
    <message>
        <source>Held here:</source>
        <translation>Guardados aquí:</translation>
    </message>
    <message>
        <source>The address is hexadecimal, such as 0x040E, and ASCII digits take up to 20 bytes, the other formats up to 8.</source>
        <translation>La dirección es hexadecimal, como 0x040E; los dígitos ASCII ocupan hasta 20 bytes y los demás formatos hasta 8.</translation>
    </message>
    <message>
        <source>The first number is a whole number.</source>
        <translation>El primer número es un número entero.</translation>
    </message>
    <message>
        <source>The step is a whole number from 1.</source>
        <translation>El paso es un número entero desde 1.</translation>
    </message>
    <message>
        <source>The last number is empty, or no lower than the first.</source>
        <translation>El último número está vacío o no es menor que el primero.</translation>
    </message>
    <message>
        <source>%1 bytes in this format hold numbers up to %2.</source>
        <translation>%1 bytes en este formato admiten números hasta %2.</translation>
    </message>
    <message>
        <source>The next number can be raised, never lowered below %1: the numbers below it have been handed out.</source>
        <translation>El siguiente número puede subirse, nunca bajarse de %1: los números inferiores ya se entregaron.</translation>
    </message>
</context>
<context>
    <name>SlotTile</name>
    <message>
        <source>adaptor unplugged</source>
        <translation>adaptador desconectado</translation>
    </message>
    <message>
        <source>remove the unit</source>
        <translation>retire la unidad</translation>
    </message>
    <message>
        <source>paused by the line controller</source>
        <translation>pausado por el controlador de línea</translation>
    </message>
    <message>
        <source>checking the unit&apos;s label</source>
        <translation>comprobando la etiqueta de la unidad</translation>
    </message>
    <message>
        <source>scan the unit&apos;s label</source>
        <translation>escanee la etiqueta de la unidad</translation>
    </message>
    <message>
        <source>the station is stopping</source>
        <translation>la estación se está deteniendo</translation>
    </message>
    <message>
        <source>waiting for serial numbers from the database</source>
        <translation>esperando números de serie de la base de datos</translation>
    </message>
    <message>
        <source>many resends: clean and align the adaptor</source>
        <translation>muchos reenvíos: limpie y alinee el adaptador</translation>
    </message>
    <message>
        <source>Stopped</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Detenido</translation>
    </message>
    <message>
        <source>Plug in the adaptor</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Conecte el adaptador</translation>
    </message>
    <message>
        <source>Port in use</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Puerto en uso</translation>
    </message>
    <message>
        <source>No access to the port</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Sin acceso al puerto</translation>
    </message>
    <message>
        <source>Place a unit</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Coloque una unidad</translation>
    </message>
    <message>
        <source>Flashing</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Programando</translation>
    </message>
    <message>
        <source>No answer</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Sin respuesta</translation>
    </message>
    <message>
        <source>PASS</source>
        <extracomment>the unit&apos;s result, the largest word on its tile</extracomment>
        <translation>CORRECTO</translation>
    </message>
    <message>
        <source>FAIL</source>
        <extracomment>the unit&apos;s result, the largest word on its tile</extracomment>
        <translation>FALLO</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed</source>
        <translation>%1 correctas, %2 fallidas</translation>
    </message>
    <message>
        <source>clean and align the adaptor</source>
        <translation>limpie y alinee el adaptador</translation>
    </message>
    <message>
        <source>held by %1</source>
        <translation>ocupado por %1</translation>
    </message>
    <message>
        <source>unplugged; looked for every second</source>
        <translation>desconectado; se busca cada segundo</translation>
    </message>
    <message>
        <source>looked for every second</source>
        <translation>se busca cada segundo</translation>
    </message>
    <message>
        <source>place the next unit</source>
        <translation>coloque la siguiente unidad</translation>
    </message>
    <message>
        <source>%1 of %2 lines</source>
        <translation>%1 de %2 líneas</translation>
    </message>
    <message>
        <source>%1 left</source>
        <extracomment>the time left of an upload, as 0:42</extracomment>
        <translation>faltan %1</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed;  this unit %3 % sent again</source>
        <translation>%1 correctas, %2 fallidas;  esta unidad %3 % reenviada</translation>
    </message>
    <message numerus="yes">
        <source>No answer for %n s</source>
        <translation>
            <numerusform>%n s sin respuesta</numerusform>
            <numerusform>%n s sin respuesta</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: %2</source>
        <extracomment>what a screen reader says of a tile: the slot&apos;s name and its state</extracomment>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>, unit %1</source>
        <translation>, unidad %1</translation>
    </message>
    <message>
        <source>, label %1</source>
        <translation>, etiqueta %1</translation>
    </message>
    <message>
        <source>, %1 of %2 lines</source>
        <translation>, %1 de %2 líneas</translation>
    </message>
    <message>
        <source>, %1 percent resent</source>
        <translation>, %1 por ciento reenviado</translation>
    </message>
</context>
<context>
    <name>StationSetup</name>
    <message>
        <source>The station&apos;s settings could not be saved to %1.</source>
        <translation>No se pudo guardar la configuración de la estación en %1.</translation>
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
        <translation>No hay ningún servicio de banco en el bus del sistema.</translation>
    </message>
    <message>
        <source>Attach to Bench</source>
        <translation>Conectar a un banco</translation>
    </message>
    <message>
        <source>The bench&apos;s &amp;station service:</source>
        <translation>&amp;Servicio de estación del banco:</translation>
    </message>
    <message>
        <source>Released job %1, signed by %2</source>
        <translation>Trabajo liberado %1, firmado por %2</translation>
    </message>
    <message>
        <source>Stop ends the bench&apos;s service. Stop it?</source>
        <translation>Detener termina el servicio del banco. ¿Detenerlo?</translation>
    </message>
    <message numerus="yes">
        <source>Stop ends the bench&apos;s service once the %n unit(s) being flashed are done. Stop it?</source>
        <translation>
            <numerusform>Detener termina el servicio del banco cuando acabe la %n unidad que se está programando. ¿Detenerlo?</numerusform>
            <numerusform>Detener termina el servicio del banco cuando acaben las %n unidades que se están programando. ¿Detenerlo?</numerusform>
        </translation>
    </message>
    <message>
        <source>Stop the bench</source>
        <translation>Detener el banco</translation>
    </message>
    <message>
        <source>Keep running</source>
        <translation>Seguir en marcha</translation>
    </message>
    <message>
        <source>broker: %1</source>
        <translation>bróker: %1</translation>
    </message>
    <message>
        <source>Broker</source>
        <translation>Bróker</translation>
    </message>
    <message>
        <source>The station&apos;s state and every unit&apos;s record are published on the factory&apos;s MQTT
broker at this URL, where a line controller&apos;s commands are taken, such as
mqtt://bench@broker.factory/factory (empty: none). The password comes from
MQTT_PASSWORD or a file named by ?password-file=PATH, and is never kept here.</source>
        <translation>El estado de la estación y el registro de cada unidad se publican en el bróker MQTT
de la fábrica en esta URL, donde se reciben las órdenes del controlador de línea, como
mqtt://bench@broker.factory/factory (vacío: ninguno). La contraseña viene de
MQTT_PASSWORD o de un archivo indicado con ?password-file=RUTA, y nunca se guarda aquí.</translation>
    </message>
    <message>
        <source>Stop the station (Shift+F5) before opening a job.</source>
        <translation>Detenga la estación (Mayúsculas+F5) antes de abrir un trabajo.</translation>
    </message>
    <message>
        <source>Open Job</source>
        <translation>Abrir trabajo</translation>
    </message>
    <message>
        <source>Released jobs (*.conf)|*.conf|All Files (*.*)|*.*</source>
        <translation>Trabajos liberados (*.conf)|*.conf|Todos los archivos (*.*)|*.*</translation>
    </message>
    <message>
        <source>The station window runs as root, for whom any unlock would be granted: run it as the operator&apos;s account.</source>
        <translation>La ventana de la estación se ejecuta como root, a quien se le concedería cualquier desbloqueo: ejecútela con la cuenta del operario.</translation>
    </message>
    <message>
        <source>There is no system bus here, so polkit, which decides who may change a released job&apos;s bench, cannot be asked. Close the job to change the bench.</source>
        <translation>Aquí no hay bus del sistema, así que no se puede preguntar a polkit, que decide quién puede cambiar el banco de un trabajo liberado. Cierre el trabajo para cambiar el banco.</translation>
    </message>
    <message>
        <source>Asking polkit ...</source>
        <translation>Preguntando a polkit ...</translation>
    </message>
    <message>
        <source>Released job %1, signed by %2 (%3). Locked: an engineer may unlock it (Station &gt; Unlock..., Ctrl+U).</source>
        <translation>Trabajo liberado %1, firmado por %2 (%3). Bloqueado: un ingeniero puede desbloquearlo (Estación &gt; Desbloquear..., Control+U).</translation>
    </message>
    <message>
        <source>Released job %1, signed by %2 (%3). Unlocked by %4 until %5: every change goes to the audit trail.</source>
        <translation>Trabajo liberado %1, firmado por %2 (%3). Desbloqueado por %4 hasta %5: cada cambio va al registro de auditoría.</translation>
    </message>
    <message>
        <source>Changed since it was released: its units are no longer recorded as of the job.</source>
        <translation>Cambiado desde que se liberó: sus unidades ya no se registran como del trabajo.</translation>
    </message>
    <message>
        <source>Firmware Files (*.s19 *.s28 *.s37 *.srec *.mot *.hex)|*.s19;*.s28;*.s37;*.srec;*.mot;*.hex|Text Files (*.TXT)|*.txt|All Files (*.*)|*.*</source>
        <translation>Archivos de firmware (*.s19 *.s28 *.s37 *.srec *.mot *.hex)|*.s19;*.s28;*.s37;*.srec;*.mot;*.hex|Archivos de texto (*.TXT)|*.txt|Todos los archivos (*.*)|*.*</translation>
    </message>
    <message>
        <source>Scan a unit&apos;s label (or a slot&apos;s name, then the label)</source>
        <translation>Escanee la etiqueta de una unidad (o el nombre de un puesto y luego la etiqueta)</translation>
    </message>
    <message>
        <source>Scanned label</source>
        <translation>Etiqueta escaneada</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Iniciar</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>&amp;Detener</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Archivo</translation>
    </message>
    <message>
        <source>&amp;Open Firmware...</source>
        <translation>Abrir &amp;firmware...</translation>
    </message>
    <message>
        <source>Open &amp;Job...</source>
        <translation>Abrir &amp;trabajo...</translation>
    </message>
    <message>
        <source>&amp;Attach to Bench...</source>
        <translation>&amp;Conectar a un banco...</translation>
    </message>
    <message>
        <source>&amp;Close Job</source>
        <translation>Ce&amp;rrar trabajo</translation>
    </message>
    <message>
        <source>&amp;Pin SHA-256...</source>
        <translation>Fijar S&amp;HA-256...</translation>
    </message>
    <message>
        <source>&amp;Serial Numbers...</source>
        <translation>Números de &amp;serie...</translation>
    </message>
    <message>
        <source>&amp;Labels...</source>
        <translation>&amp;Etiquetas...</translation>
    </message>
    <message>
        <source>&amp;Export Bench Config...</source>
        <translation>E&amp;xportar configuración del banco...</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>Sa&amp;lir</translation>
    </message>
    <message>
        <source>S&amp;lot</source>
        <translation>&amp;Puesto</translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation>&amp;Añadir...</translation>
    </message>
    <message>
        <source>&amp;Rename...</source>
        <translation>&amp;Renombrar...</translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation>&amp;Quitar</translation>
    </message>
    <message>
        <source>Move &amp;Earlier</source>
        <translation>Mover a&amp;ntes</translation>
    </message>
    <message>
        <source>Move &amp;Later</source>
        <translation>Mover &amp;después</translation>
    </message>
    <message>
        <source>&amp;Transcript</source>
        <translation>&amp;Transcripción</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ver</translation>
    </message>
    <message>
        <source>&amp;Full Screen</source>
        <translation>&amp;Pantalla completa</translation>
    </message>
    <message>
        <source>&amp;Station</source>
        <translation>&amp;Estación</translation>
    </message>
    <message>
        <source>&amp;Unlock...</source>
        <translation>D&amp;esbloquear...</translation>
    </message>
    <message>
        <source>&amp;Lock</source>
        <translation>&amp;Bloquear</translation>
    </message>
    <message>
        <source>Sound on &amp;Failure</source>
        <translation>&amp;Sonido al fallar</translation>
    </message>
    <message>
        <source>&amp;Records</source>
        <translation>&amp;Registros</translation>
    </message>
    <message>
        <source>&amp;Choose Record File...</source>
        <translation>&amp;Elegir archivo de registro...</translation>
    </message>
    <message>
        <source>&amp;Database...</source>
        <translation>&amp;Base de datos...</translation>
    </message>
    <message>
        <source>&amp;Broker...</source>
        <translation>Bró&amp;ker...</translation>
    </message>
    <message>
        <source>&amp;Summary</source>
        <translation>&amp;Resumen</translation>
    </message>
    <message>
        <source>%1 is empty: there is no line to send.</source>
        <translation>%1 está vacío: no hay ninguna línea que enviar.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no SHA-256: it has 64 hexadecimal digits.</source>
        <translation>«%1» no es un SHA-256: tiene 64 dígitos hexadecimales.</translation>
    </message>
    <message>
        <source>%1: each adaptor has one slot.</source>
        <translation>%1: cada adaptador tiene un puesto.</translation>
    </message>
    <message>
        <source>%1 is in use. Stop the station (Shift+F5) before removing a slot.</source>
        <translation>%1 está en uso. Detenga la estación (Mayúsculas+F5) antes de quitar un puesto.</translation>
    </message>
    <message>
        <source>This computer runs released jobs only (%1): open one with File &gt; Open Job... (Ctrl+J).</source>
        <translation>Este equipo solo ejecuta trabajos liberados (%1): abra uno con Archivo &gt; Abrir trabajo... (Control+J).</translation>
    </message>
    <message>
        <source>Open the firmware file first (File &gt; Open Firmware..., Ctrl+O).</source>
        <translation>Abra primero el archivo de firmware (Archivo &gt; Abrir firmware..., Control+O).</translation>
    </message>
    <message>
        <source>Add a slot for each adaptor first (Slot &gt; Add..., Insert).</source>
        <translation>Añada primero un puesto por cada adaptador (Puesto &gt; Añadir..., Insertar).</translation>
    </message>
    <message>
        <source>%1 fails its check (%2): only the window starts it anyway</source>
        <translation>%1 no pasa su comprobación (%2): solo la ventana lo inicia de todos modos</translation>
    </message>
    <message>
        <source>%1 fails its check (%2). Send it to every unit anyway?</source>
        <translation>%1 no pasa su comprobación (%2). ¿Enviarlo igualmente a cada unidad?</translation>
    </message>
    <message>
        <source>Send anyway</source>
        <translation>Enviar igualmente</translation>
    </message>
    <message>
        <source>Do not start</source>
        <translation>No iniciar</translation>
    </message>
    <message>
        <source>This bench was changed from the released job %1, and this computer runs released jobs only: open the job again (File &gt; Open Job...), or have the changed bench signed.</source>
        <translation>Este banco se cambió respecto al trabajo liberado %1, y este equipo solo ejecuta trabajos liberados: abra el trabajo de nuevo (Archivo &gt; Abrir trabajo...) o haga firmar el banco cambiado.</translation>
    </message>
    <message>
        <source> Choose another file under Records &gt; Choose Record File.</source>
        <translation> Elija otro archivo en Registros &gt; Elegir archivo de registro.</translation>
    </message>
    <message>
        <source> See File &gt; Serial Numbers...</source>
        <translation> Vea Archivo &gt; Números de serie...</translation>
    </message>
    <message>
        <source> See Records &gt; Database...</source>
        <translation> Vea Registros &gt; Base de datos...</translation>
    </message>
    <message>
        <source>The station did not start: %1.%2</source>
        <translation>La estación no se inició: %1.%2</translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) being flashed. Let them finish, or cancel them (they are recorded as interrupted)?</source>
        <translation>
            <numerusform>Se está programando %n unidad. ¿Dejar que termine o cancelarla (se registra como interrumpida)?</numerusform>
            <numerusform>Se están programando %n unidades. ¿Dejar que terminen o cancelarlas (se registran como interrumpidas)?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Let them finish</source>
        <translation>
            <numerusform>Dejar que termine</numerusform>
            <numerusform>Dejar que terminen</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancel them</source>
        <translation>
            <numerusform>Cancelarla</numerusform>
            <numerusform>Cancelarlas</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) being flashed. Cancel them and quit? They are recorded as interrupted.</source>
        <translation>
            <numerusform>Se está programando %n unidad. ¿Cancelarla y salir? Se registra como interrumpida.</numerusform>
            <numerusform>Se están programando %n unidades. ¿Cancelarlas y salir? Se registran como interrumpidas.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancel them and quit</source>
        <translation>
            <numerusform>Cancelarla y salir</numerusform>
            <numerusform>Cancelarlas y salir</numerusform>
        </translation>
    </message>
    <message>
        <source>Open Firmware</source>
        <translation>Abrir firmware</translation>
    </message>
    <message>
        <source>%1 not found!</source>
        <translation>¡No se encontró %1!</translation>
    </message>
    <message>
        <source>Stop the station before opening another firmware file: the units of one run all get the same file.</source>
        <translation>Detenga la estación antes de abrir otro archivo de firmware: todas las unidades de una tanda reciben el mismo archivo.</translation>
    </message>
    <message>
        <source>Pin SHA-256</source>
        <translation>Fijar SHA-256</translation>
    </message>
    <message>
        <source>The SHA-256 every unit&apos;s file must have (empty: none pinned):</source>
        <translation>El SHA-256 que debe tener el archivo de cada unidad (vacío: ninguno fijado):</translation>
    </message>
    <message>
        <source>Database</source>
        <translation>Base de datos</translation>
    </message>
    <message>
        <source>Every unit&apos;s record also goes to the factory&apos;s PostgreSQL at this URI, such as
postgresql://bench@db.factory/production (empty: none). The password comes from
PGPASSWORD or ~/.pgpass and is never kept here.</source>
        <translation>El registro de cada unidad también va al PostgreSQL de la fábrica en esta URI, como
postgresql://bench@db.factory/production (vacío: ninguno). La contraseña viene de
PGPASSWORD o ~/.pgpass y nunca se guarda aquí.</translation>
    </message>
    <message>
        <source>The password is not kept with the station&apos;s settings: put it in ~/.pgpass (a line host:port:database:user:password, the file readable by you alone).</source>
        <translation>La contraseña no se guarda con la configuración de la estación: póngala en ~/.pgpass (una línea host:port:database:user:password, el archivo legible solo por usted).</translation>
    </message>
    <message>
        <source>The database is used from the next start of the station (Shift+F5, then F5).</source>
        <translation>La base de datos se usa a partir del próximo inicio de la estación (Mayúsculas+F5 y luego F5).</translation>
    </message>
    <message>
        <source>Export Bench Config</source>
        <translation>Exportar configuración del banco</translation>
    </message>
    <message>
        <source>Bench Configs (*.conf)|*.conf|All Files (*.*)|*.*</source>
        <translation>Configuraciones de banco (*.conf)|*.conf|Todos los archivos (*.*)|*.*</translation>
    </message>
    <message>
        <source>Exported to %1: firmware-upload --station --config %1 runs this bench without a window.</source>
        <translation>Exportado a %1: firmware-upload --station --config %1 ejecuta este banco sin ventana.</translation>
    </message>
    <message>
        <source>Choose Record File</source>
        <translation>Elegir archivo de registro</translation>
    </message>
    <message>
        <source>Records (*.jsonl)|*.jsonl|All Files (*.*)|*.*</source>
        <translation>Registros (*.jsonl)|*.jsonl|Todos los archivos (*.*)|*.*</translation>
    </message>
    <message>
        <source>Record Summary - %1</source>
        <translation>Resumen del registro - %1</translation>
    </message>
    <message>
        <source>Rename Slot</source>
        <translation>Renombrar puesto</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Nombre:</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>The bench&apos;s service has no firmware file open</source>
        <translation>El servicio del banco no tiene ningún archivo de firmware abierto</translation>
    </message>
    <message>
        <source>No firmware file: File &gt; Open Firmware... (Ctrl+O)</source>
        <translation>Ningún archivo de firmware: Archivo &gt; Abrir firmware... (Control+O)</translation>
    </message>
    <message numerus="yes">
        <source>%1   %n lines   SHA-256 %2</source>
        <translation>
            <numerusform>%1   %n línea   SHA-256 %2</numerusform>
            <numerusform>%1   %n líneas   SHA-256 %2</numerusform>
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
        <translation>No pasa la comprobación: %1</translation>
    </message>
    <message>
        <source>%1, passes its check</source>
        <translation>%1, pasa la comprobación</translation>
    </message>
    <message>
        <source>%1, passes its check; data %2</source>
        <translation>%1, pasa la comprobación; datos %2</translation>
    </message>
    <message>
        <source>Pinned SHA-256 matches.</source>
        <translation>El SHA-256 fijado coincide.</translation>
    </message>
    <message>
        <source>Pinned SHA-256 %1... does NOT match: the station will not start.</source>
        <translation>El SHA-256 fijado %1... NO coincide: la estación no se iniciará.</translation>
    </message>
    <message>
        <source>Serial numbers at %1, the next %2.</source>
        <translation>Números de serie en %1, el siguiente %2.</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed, units per hour: %3  (running)</source>
        <translation>%1 correctas, %2 fallidas, unidades por hora: %3  (en marcha)</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed, units per hour: %3  (stopped)</source>
        <translation>%1 correctas, %2 fallidas, unidades por hora: %3  (detenida)</translation>
    </message>
    <message>
        <source>Record: %1</source>
        <translation>Registro: %1</translation>
    </message>
    <message>
        <source>database: %1</source>
        <translation>base de datos: %1</translation>
    </message>
    <message>
        <source>the window&apos;s own station is running: stop it first</source>
        <translation>la estación propia de la ventana está en marcha: deténgala primero</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>&amp;Idioma</translation>
    </message>
    <message>
        <source>The &amp;System&apos;s</source>
        <translation>La del &amp;sistema</translation>
    </message>
    <message numerus="yes">
        <source>%1: its %n unit(s) are made</source>
        <translation>
            <numerusform>%1: su %n unidad está hecha</numerusform>
            <numerusform>%1: sus %n unidades están hechas</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %n unit(s)</source>
        <translation>
            <numerusform>%1: %n unidad</numerusform>
            <numerusform>%1: %n unidades</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %n unit(s), permits here: %2</source>
        <translation>
            <numerusform>%1: %n unidad, permisos aquí: %2</numerusform>
            <numerusform>%1: %n unidades, permisos aquí: %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 of %n left</source>
        <translation>
            <numerusform>%1: quedan %2 de %n</numerusform>
            <numerusform>%1: quedan %2 de %n</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 of %n left, permits here: %3</source>
        <translation>
            <numerusform>%1: quedan %2 de %n, permisos aquí: %3</numerusform>
            <numerusform>%1: quedan %2 de %n, permisos aquí: %3</numerusform>
        </translation>
    </message>
    <message>
        <source>This window has no words in %1: it shows them in English.</source>
        <translation>Esta ventana no tiene palabras en %1: las muestra en inglés.</translation>
    </message>
</context>
</TS>
