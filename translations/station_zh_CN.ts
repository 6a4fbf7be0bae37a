<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AddSlotDialog</name>
    <message>
        <source>Add Slot</source>
        <translation>添加工位</translation>
    </message>
    <message>
        <source>USB %1</source>
        <translation>USB %1</translation>
    </message>
    <message>
        <source>serial %1</source>
        <translation>串口 %1</translation>
    </message>
    <message>
        <source>&amp;Ports the system reports:</source>
        <translation>系统报告的端口(&amp;P)：</translation>
    </message>
    <message>
        <source>P&amp;ath:</source>
        <translation>路径(&amp;A)：</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>名称(&amp;N)：</translation>
    </message>
</context>
<context>
    <name>LabelsDialog</name>
    <message>
        <source>Labels</source>
        <translation>标签</translation>
    </message>
    <message>
        <source>none: the scan field under the tiles</source>
        <translation>无：使用工位下方的扫描栏</translation>
    </message>
    <message>
        <source>A serial (USB CDC) barcode scanner, by its stable name under /dev/serial/by-id. A keyboard-wedge scanner needs none: it types into the scan field.</source>
        <translation>串口（USB CDC）条码扫描枪，按其在 /dev/serial/by-id 下的固定名称指定。键盘式扫描枪无需指定：它直接输入到扫描栏。</translation>
    </message>
    <message>
        <source>A unit &amp;waits until its label is scanned</source>
        <translation>设备等待扫描其标签后才开始(&amp;W)</translation>
    </message>
    <message>
        <source>any label</source>
        <translation>任意标签</translation>
    </message>
    <message>
        <source>A regular expression every label must match whole, such as LBL-[0-9]{6}</source>
        <translation>每个标签必须完整匹配的正则表达式，例如 LBL-[0-9]{6}</translation>
    </message>
    <message>
        <source>Keep the number it had</source>
        <translation>保留原来的编号</translation>
    </message>
    <message>
        <source>Give it a new number</source>
        <translation>分配新编号</translation>
    </message>
    <message>
        <source>Refuse it</source>
        <translation>拒绝</translation>
    </message>
    <message>
        <source>Serial &amp;scanner:</source>
        <translation>串口扫描枪(&amp;S)：</translation>
    </message>
    <message>
        <source>Label &amp;pattern:</source>
        <translation>标签格式(&amp;P)：</translation>
    </message>
    <message>
        <source>A unit that passed &amp;before:</source>
        <translation>之前已合格的设备(&amp;B)：</translation>
    </message>
    <message>
        <source>The pattern is no regular expression: %1 (at character %2).</source>
        <translation>该格式不是正则表达式：%1（在第 %2 个字符处）。</translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>Look in:</source>
        <translation>查找范围：</translation>
    </message>
    <message>
        <source>File &amp;name:</source>
        <translation>文件名称(&amp;N)：</translation>
    </message>
    <message>
        <source>Files of type:</source>
        <translation>文件类型：</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>打开(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>保存(&amp;S)</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>&amp;Abort</source>
        <translation>中止(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Retry</source>
        <translation>重试(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Ignore</source>
        <translation>忽略(&amp;I)</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>是(&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>否(&amp;N)</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
</context>
<context>
    <name>SerialNumbersDialog</name>
    <message>
        <source>Serial Numbers</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>&amp;Put a serial number of its own into every unit</source>
        <translation>为每台设备写入其自己的序列号(&amp;P)</translation>
    </message>
    <message>
        <source>Where the firmware keeps its serial number: the firmware&apos;s linker map names the address.</source>
        <translation>固件存放序列号的位置：固件的链接映射文件给出该地址。</translation>
    </message>
    <message>
        <source> bytes</source>
        <translation> 字节</translation>
    </message>
    <message>
        <source>Little-endian binary (le)</source>
        <translation>小端二进制 (le)</translation>
    </message>
    <message>
        <source>Big-endian binary (be)</source>
        <translation>大端二进制 (be)</translation>
    </message>
    <message>
        <source>Packed BCD, big-endian (bcd)</source>
        <translation>压缩 BCD，大端 (bcd)</translation>
    </message>
    <message>
        <source>ASCII digits, zero-padded (ascii)</source>
        <translation>ASCII 数字，前补零 (ascii)</translation>
    </message>
    <message>
        <source>none</source>
        <translation>无</translation>
    </message>
    <message>
        <source>none: this bench&apos;s own numbers</source>
        <translation>无：本工作台自己的编号</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 至 %2</translation>
    </message>
    <message>
        <source>Numbers shared by every bench of the factory, from its database (Records &gt; Database...); none held yet</source>
        <translation>由工厂所有工作台共享的编号，来自其数据库（记录 &gt; 数据库...）；尚未持有任何编号</translation>
    </message>
    <message>
        <source>Leased and held here: %1</source>
        <translation>已租用并在此持有：%1</translation>
    </message>
    <message>
        <source> numbers at a time</source>
        <translation> 个编号一次</translation>
    </message>
    <message>
        <source>the first number, as nothing is kept yet</source>
        <translation>第一个编号（尚未保存任何编号）</translation>
    </message>
    <message>
        <source>Kept in %1. It can be raised, never lowered: a number handed out once is never handed out again.</source>
        <translation>保存在 %1。只能调高，不能调低：发出过的编号永远不会再次发出。</translation>
    </message>
    <message>
        <source>&amp;Address:</source>
        <translation>地址(&amp;A)：</translation>
    </message>
    <message>
        <source>Si&amp;ze:</source>
        <translation>大小(&amp;Z)：</translation>
    </message>
    <message>
        <source>&amp;Format:</source>
        <translation>格式(&amp;F)：</translation>
    </message>
    <message>
        <source>&amp;First number:</source>
        <translation>首个编号(&amp;F)：</translation>
    </message>
    <message>
        <source>S&amp;tep:</source>
        <translation>步长(&amp;T)：</translation>
    </message>
    <message>
        <source>&amp;Last number:</source>
        <translation>最后编号(&amp;L)：</translation>
    </message>
    <message>
        <source>&amp;Next number:</source>
        <translation>下一个编号(&amp;N)：</translation>
    </message>
    <message>
        <source>Factory &amp;series:</source>
        <translation>工厂编号系列(&amp;S)：</translation>
    </message>
    <message>
        <source>&amp;Block:</source>
        <translation>块大小(&amp;B)：</translation>
    </message>
    <message>
        <source>Held here:</source>
        <translation>在此持有：</translation>
    </message>
    <message>
        <source>The address is hexadecimal, such as 0x040E, and ASCII digits take up to 20 bytes, the other formats up to 8.</source>
        <translation>地址为十六进制，例如 0x040E；ASCII 数字最多占 20 字节，其他格式最多 8 字节。</translation>
    </message>
    <message>
        <source>The first number is a whole number.</source>
        <translation>首个编号须为整数。</translation>
    </message>
    <message>
        <source>The step is a whole number from 1.</source>
        <translation>步长须为不小于 1 的整数。</translation>
    </message>
    <message>
        <source>The last number is empty, or no lower than the first.</source>
        <translation>最后编号须为空，或不小于首个编号。</translation>
    </message>
    <message>
        <source>%1 bytes in this format hold numbers up to %2.</source>
        <translation>此格式下 %1 字节最多容纳到 %2 的编号。</translation>
    </message>
    <message>
        <source>The next number can be raised, never lowered below %1: the numbers below it have been handed out.</source>
        <translation>下一个编号只能调高，不能低于 %1：比它小的编号已经发出。</translation>
    </message>
</context>
<context>
    <name>SlotTile</name>
    <message>
        <source>adaptor unplugged</source>
        <translation>适配器已拔出</translation>
    </message>
    <message>
        <source>remove the unit</source>
        <translation>请取下设备</translation>
    </message>
    <message>
        <source>paused by the line controller</source>
        <translation>已被产线控制器暂停</translation>
    </message>
    <message>
        <source>checking the unit&apos;s label</source>
        <translation>正在核对设备标签</translation>
    </message>
    <message>
        <source>scan the unit&apos;s label</source>
        <translation>请扫描设备标签</translation>
    </message>
    <message>
        <source>the station is stopping</source>
        <translation>工作站正在停止</translation>
    </message>
    <message>
        <source>waiting for serial numbers from the database</source>
        <translation>正在等待数据库分配序列号</translation>
    </message>
    <message>
        <source>many resends: clean and align the adaptor</source>
        <translation>重发过多：请清洁并对准适配器</translation>
    </message>
    <message>
        <source>Stopped</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>已停止</translation>
    </message>
    <message>
        <source>Plug in the adaptor</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>请插入适配器</translation>
    </message>
    <message>
        <source>Port in use</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>端口被占用</translation>
    </message>
    <message>
        <source>No access to the port</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>无权访问端口</translation>
    </message>
    <message>
        <source>Place a unit</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>请放置设备</translation>
    </message>
    <message>
        <source>Flashing</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>正在烧录</translation>
    </message>
    <message>
        <source>No answer</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>无应答</translation>
    </message>
    <message>
        <source>PASS</source>
        <extracomment>the unit&apos;s result, the largest word on its tile</extracomment>
        <translation>合格</translation>
    </message>
    <message>
        <source>FAIL</source>
        <extracomment>the unit&apos;s result, the largest word on its tile</extracomment>
        <translation>失败</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed</source>
        <translation>%1 合格，%2 失败</translation>
    </message>
    <message>
        <source>clean and align the adaptor</source>
        <translation>请清洁并对准适配器</translation>
    </message>
    <message>
        <source>held by %1</source>
        <translation>被 %1 占用</translation>
    </message>
    <message>
        <source>unplugged; looked for every second</source>
        <translation>已拔出；每秒检测一次</translation>
    </message>
    <message>
        <source>looked for every second</source>
        <translation>每秒检测一次</translation>
    </message>
    <message>
        <source>place the next unit</source>
        <translation>请放置下一台设备</translation>
    </message>
    <message>
        <source>%1 of %2 lines</source>
        <translation>%1 / %2 行</translation>
    </message>
    <message>
        <source>%1 left</source>
        <extracomment>the time left of an upload, as 0:42</extracomment>
        <translation>剩余 %1</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed;  this unit %3 % sent again</source>
        <translation>%1 合格，%2 失败；  本设备重发 %3 %</translation>
    </message>
    <message numerus="yes">
        <source>No answer for %n s</source>
        <translation>
            <numerusform>%n 秒无应答</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: %2</source>
        <extracomment>what a screen reader says of a tile: the slot&apos;s name and its state</extracomment>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>, unit %1</source>
        <translation>，设备 %1</translation>
    </message>
    <message>
        <source>, label %1</source>
        <translation>，标签 %1</translation>
    </message>
    <message>
        <source>, %1 of %2 lines</source>
        <translation>，第 %1 行，共 %2 行</translation>
    </message>
    <message>
        <source>, %1 percent resent</source>
        <translation>，重发百分之 %1</translation>
    </message>
</context>
<context>
    <name>StationSetup</name>
    <message>
        <source>The station&apos;s settings could not be saved to %1.</source>
        <translation>无法将工作站设置保存到 %1。</translation>
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
        <translation>系统总线上没有任何工作台服务。</translation>
    </message>
    <message>
        <source>Attach to Bench</source>
        <translation>连接到工作台</translation>
    </message>
    <message>
        <source>The bench&apos;s &amp;station service:</source>
        <translation>工作台的工作站服务(&amp;S)：</translation>
    </message>
    <message>
        <source>Released job %1, signed by %2</source>
        <translation>已发布的作业 %1，签名者 %2</translation>
    </message>
    <message>
        <source>Stop ends the bench&apos;s service. Stop it?</source>
        <translation>停止将结束工作台的服务。要停止吗？</translation>
    </message>
    <message numerus="yes">
        <source>Stop ends the bench&apos;s service once the %n unit(s) being flashed are done. Stop it?</source>
        <translation>
            <numerusform>停止将在正在烧录的 %n 台设备完成后结束工作台的服务。要停止吗？</numerusform>
        </translation>
    </message>
    <message>
        <source>Stop the bench</source>
        <translation>停止工作台</translation>
    </message>
    <message>
        <source>Keep running</source>
        <translation>继续运行</translation>
    </message>
    <message>
        <source>broker: %1</source>
        <translation>消息代理：%1</translation>
    </message>
    <message>
        <source>Broker</source>
        <translation>消息代理</translation>
    </message>
    <message>
        <source>The station&apos;s state and every unit&apos;s record are published on the factory&apos;s MQTT
broker at this URL, where a line controller&apos;s commands are taken, such as
mqtt://bench@broker.factory/factory (empty: none). The password comes from
MQTT_PASSWORD or a file named by ?password-file=PATH, and is never kept here.</source>
        <translation>工作站的状态和每台设备的记录发布到工厂 MQTT 消息代理的此 URL，
产线控制器的命令也从这里接收，例如
mqtt://bench@broker.factory/factory（留空：不使用）。密码来自
MQTT_PASSWORD 或 ?password-file=路径 指定的文件，从不保存在这里。</translation>
    </message>
    <message>
        <source>Stop the station (Shift+F5) before opening a job.</source>
        <translation>打开作业前请先停止工作站（Shift+F5）。</translation>
    </message>
    <message>
        <source>Open Job</source>
        <translation>打开作业</translation>
    </message>
    <message>
        <source>Released jobs (*.conf)|*.conf|All Files (*.*)|*.*</source>
        <translation>已发布的作业 (*.conf)|*.conf|所有文件 (*.*)|*.*</translation>
    </message>
    <message>
        <source>The station window runs as root, for whom any unlock would be granted: run it as the operator&apos;s account.</source>
        <translation>工作站窗口以 root 身份运行，任何解锁都会被批准：请以操作员的账户运行。</translation>
    </message>
    <message>
        <source>There is no system bus here, so polkit, which decides who may change a released job&apos;s bench, cannot be asked. Close the job to change the bench.</source>
        <translation>这里没有系统总线，因此无法询问决定谁可以更改已发布作业工作台的 polkit。请关闭作业后再更改工作台。</translation>
    </message>
    <message>
        <source>Asking polkit ...</source>
        <translation>正在询问 polkit ...</translation>
    </message>
    <message>
        <source>Released job %1, signed by %2 (%3). Locked: an engineer may unlock it (Station &gt; Unlock..., Ctrl+U).</source>
        <translation>已发布的作业 %1，签名者 %2（%3）。已锁定：工程师可以解锁（工作站 &gt; 解锁...，Ctrl+U）。</translation>
    </message>
    <message>
        <source>Released job %1, signed by %2 (%3). Unlocked by %4 until %5: every change goes to the audit trail.</source>
        <translation>已发布的作业 %1，签名者 %2（%3）。已由 %4 解锁至 %5：每项更改都会写入审计记录。</translation>
    </message>
    <message>
        <source>Changed since it was released: its units are no longer recorded as of the job.</source>
        <translation>发布后已被更改：其设备不再记录为该作业的设备。</translation>
    </message>
    <message>
        <source>Firmware Files (*.s19 *.s28 *.s37 *.srec *.mot *.hex)|*.s19;*.s28;*.s37;*.srec;*.mot;*.hex|Text Files (*.TXT)|*.txt|All Files (*.*)|*.*</source>
        <translation>固件文件 (*.s19 *.s28 *.s37 *.srec *.mot *.hex)|*.s19;*.s28;*.s37;*.srec;*.mot;*.hex|文本文件 (*.TXT)|*.txt|所有文件 (*.*)|*.*</translation>
    </message>
    <message>
        <source>Scan a unit&apos;s label (or a slot&apos;s name, then the label)</source>
        <translation>扫描设备标签（或先扫工位名称，再扫标签）</translation>
    </message>
    <message>
        <source>Scanned label</source>
        <translation>已扫描的标签</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>开始(&amp;S)</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>停止(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Open Firmware...</source>
        <translation>打开固件(&amp;O)...</translation>
    </message>
    <message>
        <source>Open &amp;Job...</source>
        <translation>打开作业(&amp;J)...</translation>
    </message>
    <message>
        <source>&amp;Attach to Bench...</source>
        <translation>连接到工作台(&amp;A)...</translation>
    </message>
    <message>
        <source>&amp;Close Job</source>
        <translation>关闭作业(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Pin SHA-256...</source>
        <translation>固定 SHA-256(&amp;P)...</translation>
    </message>
    <message>
        <source>&amp;Serial Numbers...</source>
        <translation>序列号(&amp;S)...</translation>
    </message>
    <message>
        <source>&amp;Labels...</source>
        <translation>标签(&amp;L)...</translation>
    </message>
    <message>
        <source>&amp;Export Bench Config...</source>
        <translation>导出工作台配置(&amp;E)...</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>退出(&amp;X)</translation>
    </message>
    <message>
        <source>S&amp;lot</source>
        <translation>工位(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation>添加(&amp;A)...</translation>
    </message>
    <message>
        <source>&amp;Rename...</source>
        <translation>重命名(&amp;R)...</translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation>移除(&amp;M)</translation>
    </message>
    <message>
        <source>Move &amp;Earlier</source>
        <translation>前移(&amp;E)</translation>
    </message>
    <message>
        <source>Move &amp;Later</source>
        <translation>后移(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Transcript</source>
        <translation>通信记录(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>视图(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;Full Screen</source>
        <translation>全屏(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Station</source>
        <translation>工作站(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Unlock...</source>
        <translation>解锁(&amp;U)...</translation>
    </message>
    <message>
        <source>&amp;Lock</source>
        <translation>锁定(&amp;L)</translation>
    </message>
    <message>
        <source>Sound on &amp;Failure</source>
        <translation>失败时发声(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Records</source>
        <translation>记录(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Choose Record File...</source>
        <translation>选择记录文件(&amp;C)...</translation>
    </message>
    <message>
        <source>&amp;Database...</source>
        <translation>数据库(&amp;D)...</translation>
    </message>
    <message>
        <source>&amp;Broker...</source>
        <translation>消息代理(&amp;B)...</translation>
    </message>
    <message>
        <source>&amp;Summary</source>
        <translation>汇总(&amp;S)</translation>
    </message>
    <message>
        <source>%1 is empty: there is no line to send.</source>
        <translation>%1 为空：没有可发送的行。</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no SHA-256: it has 64 hexadecimal digits.</source>
        <translation>“%1”不是 SHA-256：SHA-256 有 64 位十六进制数字。</translation>
    </message>
    <message>
        <source>%1: each adaptor has one slot.</source>
        <translation>%1：每个适配器只有一个工位。</translation>
    </message>
    <message>
        <source>%1 is in use. Stop the station (Shift+F5) before removing a slot.</source>
        <translation>%1 正在使用。移除工位前请先停止工作站（Shift+F5）。</translation>
    </message>
    <message>
        <source>This computer runs released jobs only (%1): open one with File &gt; Open Job... (Ctrl+J).</source>
        <translation>本计算机只运行已发布的作业（%1）：请用 文件 &gt; 打开作业...（Ctrl+J）打开一个。</translation>
    </message>
    <message>
        <source>Open the firmware file first (File &gt; Open Firmware..., Ctrl+O).</source>
        <translation>请先打开固件文件（文件 &gt; 打开固件...，Ctrl+O）。</translation>
    </message>
    <message>
        <source>Add a slot for each adaptor first (Slot &gt; Add..., Insert).</source>
        <translation>请先为每个适配器添加一个工位（工位 &gt; 添加...，Insert）。</translation>
    </message>
    <message>
        <source>%1 fails its check (%2): only the window starts it anyway</source>
        <translation>%1 未通过检查（%2）：只有窗口可以强制启动它</translation>
    </message>
    <message>
        <source>%1 fails its check (%2). Send it to every unit anyway?</source>
        <translation>%1 未通过检查（%2）。仍要发送到每台设备吗？</translation>
    </message>
    <message>
        <source>Send anyway</source>
        <translation>仍然发送</translation>
    </message>
    <message>
        <source>Do not start</source>
        <translation>不启动</translation>
    </message>
    <message>
        <source>This bench was changed from the released job %1, and this computer runs released jobs only: open the job again (File &gt; Open Job...), or have the changed bench signed.</source>
        <translation>此工作台已不同于已发布的作业 %1，而本计算机只运行已发布的作业：请重新打开该作业（文件 &gt; 打开作业...），或让更改后的工作台重新签名。</translation>
    </message>
    <message>
        <source> Choose another file under Records &gt; Choose Record File.</source>
        <translation> 请在 记录 &gt; 选择记录文件 中选择另一个文件。</translation>
    </message>
    <message>
        <source> See File &gt; Serial Numbers...</source>
        <translation> 请查看 文件 &gt; 序列号...</translation>
    </message>
    <message>
        <source> See Records &gt; Database...</source>
        <translation> 请查看 记录 &gt; 数据库...</translation>
    </message>
    <message>
        <source>The station did not start: %1.%2</source>
        <translation>工作站未启动：%1。%2</translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) being flashed. Let them finish, or cancel them (they are recorded as interrupted)?</source>
        <translation>
            <numerusform>%n 台设备正在烧录。让它们完成，还是取消（将记录为已中断）？</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Let them finish</source>
        <translation>
            <numerusform>让其完成</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancel them</source>
        <translation>
            <numerusform>取消烧录</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) being flashed. Cancel them and quit? They are recorded as interrupted.</source>
        <translation>
            <numerusform>%n 台设备正在烧录。取消并退出吗？它们将被记录为已中断。</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancel them and quit</source>
        <translation>
            <numerusform>取消并退出</numerusform>
        </translation>
    </message>
    <message>
        <source>Open Firmware</source>
        <translation>打开固件</translation>
    </message>
    <message>
        <source>%1 not found!</source>
        <translation>找不到 %1！</translation>
    </message>
    <message>
        <source>Stop the station before opening another firmware file: the units of one run all get the same file.</source>
        <translation>打开其他固件文件前请先停止工作站：同一批次的所有设备都使用同一个文件。</translation>
    </message>
    <message>
        <source>Pin SHA-256</source>
        <translation>固定 SHA-256</translation>
    </message>
    <message>
        <source>The SHA-256 every unit&apos;s file must have (empty: none pinned):</source>
        <translation>每台设备的文件必须具有的 SHA-256（留空：不固定）：</translation>
    </message>
    <message>
        <source>Database</source>
        <translation>数据库</translation>
    </message>
    <message>
        <source>Every unit&apos;s record also goes to the factory&apos;s PostgreSQL at this URI, such as
postgresql://bench@db.factory/production (empty: none). The password comes from
PGPASSWORD or ~/.pgpass and is never kept here.</source>
        <translation>每台设备的记录也会发送到工厂的 PostgreSQL（此 URI），例如
postgresql://bench@db.factory/production（留空：不使用）。密码来自
PGPASSWORD 或 ~/.pgpass，从不保存在这里。</translation>
    </message>
    <message>
        <source>The password is not kept with the station&apos;s settings: put it in ~/.pgpass (a line host:port:database:user:password, the file readable by you alone).</source>
        <translation>密码不会随工作站设置保存：请写入 ~/.pgpass（一行 host:port:database:user:password，该文件仅限您本人可读）。</translation>
    </message>
    <message>
        <source>The database is used from the next start of the station (Shift+F5, then F5).</source>
        <translation>数据库将从工作站下次启动时开始使用（Shift+F5，然后 F5）。</translation>
    </message>
    <message>
        <source>Export Bench Config</source>
        <translation>导出工作台配置</translation>
    </message>
    <message>
        <source>Bench Configs (*.conf)|*.conf|All Files (*.*)|*.*</source>
        <translation>工作台配置 (*.conf)|*.conf|所有文件 (*.*)|*.*</translation>
    </message>
    <message>
        <source>Exported to %1: firmware-upload --station --config %1 runs this bench without a window.</source>
        <translation>已导出到 %1：firmware-upload --station --config %1 可在无窗口时运行此工作台。</translation>
    </message>
    <message>
        <source>Choose Record File</source>
        <translation>选择记录文件</translation>
    </message>
    <message>
        <source>Records (*.jsonl)|*.jsonl|All Files (*.*)|*.*</source>
        <translation>记录 (*.jsonl)|*.jsonl|所有文件 (*.*)|*.*</translation>
    </message>
    <message>
        <source>Record Summary - %1</source>
        <translation>记录汇总 - %1</translation>
    </message>
    <message>
        <source>Rename Slot</source>
        <translation>重命名工位</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>名称(&amp;N)：</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>The bench&apos;s service has no firmware file open</source>
        <translation>工作台的服务没有打开任何固件文件</translation>
    </message>
    <message>
        <source>No firmware file: File &gt; Open Firmware... (Ctrl+O)</source>
        <translation>没有固件文件：文件 &gt; 打开固件...（Ctrl+O）</translation>
    </message>
    <message numerus="yes">
        <source>%1   %n lines   SHA-256 %2</source>
        <translation>
            <numerusform>%1   %n 行   SHA-256 %2</numerusform>
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
        <translation>未通过检查：%1</translation>
    </message>
    <message>
        <source>%1, passes its check</source>
        <translation>%1，通过检查</translation>
    </message>
    <message>
        <source>%1, passes its check; data %2</source>
        <translation>%1，通过检查；数据 %2</translation>
    </message>
    <message>
        <source>Pinned SHA-256 matches.</source>
        <translation>固定的 SHA-256 一致。</translation>
    </message>
    <message>
        <source>Pinned SHA-256 %1... does NOT match: the station will not start.</source>
        <translation>固定的 SHA-256 %1... 不一致：工作站不会启动。</translation>
    </message>
    <message>
        <source>Serial numbers at %1, the next %2.</source>
        <translation>序列号位于 %1，下一个为 %2。</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed, units per hour: %3  (running)</source>
        <translation>%1 合格，%2 失败，每小时设备数：%3  （运行中）</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed, units per hour: %3  (stopped)</source>
        <translation>%1 合格，%2 失败，每小时设备数：%3  （已停止）</translation>
    </message>
    <message>
        <source>Record: %1</source>
        <translation>记录：%1</translation>
    </message>
    <message>
        <source>database: %1</source>
        <translation>数据库：%1</translation>
    </message>
    <message>
        <source>the window&apos;s own station is running: stop it first</source>
        <translation>窗口自己的工作站正在运行：请先停止</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>语言(&amp;L)</translation>
    </message>
    <message>
        <source>The &amp;System&apos;s</source>
        <translation>跟随系统(&amp;S)</translation>
    </message>
    <message numerus="yes">
        <source>%1: its %n unit(s) are made</source>
        <translation>
            <numerusform>%1：%n 台设备已全部完成</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %n unit(s)</source>
        <translation>
            <numerusform>%1：%n 台设备</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %n unit(s), permits here: %2</source>
        <translation>
            <numerusform>%1：%n 台设备，此处许可：%2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 of %n left</source>
        <translation>
            <numerusform>%1：剩余 %2 / %n</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 of %n left, permits here: %3</source>
        <translation>
            <numerusform>%1：剩余 %2 / %n，此处许可：%3</numerusform>
        </translation>
    </message>
    <message>
        <source>This window has no words in %1: it shows them in English.</source>
        <translation>此窗口没有 %1 的文字：改用英文显示。</translation>
    </message>
</context>
</TS>
