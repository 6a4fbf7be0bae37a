<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="vi">
<context>
    <name>AddSlotDialog</name>
    <message>
        <source>Add Slot</source>
        <translation>Thêm vị trí</translation>
    </message>
    <message>
        <source>USB %1</source>
        <translation>USB %1</translation>
    </message>
    <message>
        <source>serial %1</source>
        <translation>nối tiếp %1</translation>
    </message>
    <message>
        <source>&amp;Ports the system reports:</source>
        <translation>&amp;Cổng mà hệ thống báo:</translation>
    </message>
    <message>
        <source>P&amp;ath:</source>
        <translation>Đường &amp;dẫn:</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Tên:</translation>
    </message>
</context>
<context>
    <name>LabelsDialog</name>
    <message>
        <source>Labels</source>
        <translation>Nhãn</translation>
    </message>
    <message>
        <source>none: the scan field under the tiles</source>
        <translation>không có: ô quét dưới các ô vị trí</translation>
    </message>
    <message>
        <source>A serial (USB CDC) barcode scanner, by its stable name under /dev/serial/by-id. A keyboard-wedge scanner needs none: it types into the scan field.</source>
        <translation>Máy quét mã vạch nối tiếp (USB CDC), theo tên cố định trong /dev/serial/by-id. Máy quét gõ như bàn phím thì không cần: nó gõ thẳng vào ô quét.</translation>
    </message>
    <message>
        <source>A unit &amp;waits until its label is scanned</source>
        <translation>Thiết bị &amp;chờ đến khi nhãn được quét</translation>
    </message>
    <message>
        <source>any label</source>
        <translation>nhãn bất kỳ</translation>
    </message>
    <message>
        <source>A regular expression every label must match whole, such as LBL-[0-9]{6}</source>
        <translation>Biểu thức chính quy mà toàn bộ mỗi nhãn phải khớp, ví dụ LBL-[0-9]{6}</translation>
    </message>
    <message>
        <source>Keep the number it had</source>
        <translation>Giữ số cũ</translation>
    </message>
    <message>
        <source>Give it a new number</source>
        <translation>Cấp số mới</translation>
    </message>
    <message>
        <source>Refuse it</source>
        <translation>Từ chối</translation>
    </message>
    <message>
        <source>Serial &amp;scanner:</source>
        <translation>Máy &amp;quét nối tiếp:</translation>
    </message>
    <message>
        <source>Label &amp;pattern:</source>
        <translation>&amp;Mẫu nhãn:</translation>
    </message>
    <message>
        <source>A unit that passed &amp;before:</source>
        <translation>Thiết bị đã &amp;đạt trước đó:</translation>
    </message>
    <message>
        <source>The pattern is no regular expression: %1 (at character %2).</source>
        <translation>Mẫu không phải biểu thức chính quy: %1 (tại ký tự %2).</translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>Look in:</source>
        <translation>Tìm trong:</translation>
    </message>
    <message>
        <source>File &amp;name:</source>
        <translation>&amp;Tên tệp:</translation>
    </message>
    <message>
        <source>Files of type:</source>
        <translation>Loại tệp:</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>&amp;Mở</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Lưu</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>&amp;Abort</source>
        <translation>&amp;Hủy bỏ</translation>
    </message>
    <message>
        <source>&amp;Retry</source>
        <translation>&amp;Thử lại</translation>
    </message>
    <message>
        <source>&amp;Ignore</source>
        <translation>&amp;Bỏ qua</translation>
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
        <translation>Hủy</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Có</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Không</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Đóng</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Mở</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Lưu</translation>
    </message>
</context>
<context>
    <name>SerialNumbersDialog</name>
    <message>
        <source>Serial Numbers</source>
        <translation>Số sê-ri</translation>
    </message>
    <message>
        <source>&amp;Put a serial number of its own into every unit</source>
        <translation>&amp;Ghi số sê-ri riêng vào mỗi thiết bị</translation>
    </message>
    <message>
        <source>Where the firmware keeps its serial number: the firmware&apos;s linker map names the address.</source>
        <translation>Nơi firmware lưu số sê-ri: tệp map của trình liên kết firmware cho biết địa chỉ.</translation>
    </message>
    <message>
        <source> bytes</source>
        <translation> byte</translation>
    </message>
    <message>
        <source>Little-endian binary (le)</source>
        <translation>Nhị phân little-endian (le)</translation>
    </message>
    <message>
        <source>Big-endian binary (be)</source>
        <translation>Nhị phân big-endian (be)</translation>
    </message>
    <message>
        <source>Packed BCD, big-endian (bcd)</source>
        <translation>BCD nén, big-endian (bcd)</translation>
    </message>
    <message>
        <source>ASCII digits, zero-padded (ascii)</source>
        <translation>Chữ số ASCII, thêm số 0 ở đầu (ascii)</translation>
    </message>
    <message>
        <source>none</source>
        <translation>không có</translation>
    </message>
    <message>
        <source>none: this bench&apos;s own numbers</source>
        <translation>không có: số riêng của bàn này</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 đến %2</translation>
    </message>
    <message>
        <source>Numbers shared by every bench of the factory, from its database (Records &gt; Database...); none held yet</source>
        <translation>Số dùng chung cho mọi bàn của nhà máy, lấy từ cơ sở dữ liệu (Bản ghi &gt; Cơ sở dữ liệu...); chưa giữ số nào</translation>
    </message>
    <message>
        <source>Leased and held here: %1</source>
        <translation>Đã thuê và đang giữ ở đây: %1</translation>
    </message>
    <message>
        <source> numbers at a time</source>
        <translation> số mỗi lần</translation>
    </message>
    <message>
        <source>the first number, as nothing is kept yet</source>
        <translation>số đầu tiên, vì chưa lưu gì</translation>
    </message>
    <message>
        <source>Kept in %1. It can be raised, never lowered: a number handed out once is never handed out again.</source>
        <translation>Lưu trong %1. Có thể tăng, không bao giờ giảm: số đã cấp một lần sẽ không bao giờ được cấp lại.</translation>
    </message>
    <message>
        <source>&amp;Address:</source>
        <translation>Đị&amp;a chỉ:</translation>
    </message>
    <message>
        <source>Si&amp;ze:</source>
        <translation>&amp;Kích thước:</translation>
    </message>
    <message>
        <source>&amp;Format:</source>
        <translation>&amp;Định dạng:</translation>
    </message>
    <message>
        <source>&amp;First number:</source>
        <translation>Số đầ&amp;u:</translation>
    </message>
    <message>
        <source>S&amp;tep:</source>
        <translation>&amp;Bước:</translation>
    </message>
    <message>
        <source>&amp;Last number:</source>
        <translation>Số &amp;cuối:</translation>
    </message>
    <message>
        <source>&amp;Next number:</source>
        <translation>Số &amp;tiếp theo:</translation>
    </message>
    <message>
        <source>Factory &amp;series:</source>
        <translation>Dãy số &amp;nhà máy:</translation>
    </message>
    <message>
        <source>&amp;Block:</source>
        <translation>&amp;Khối:</translation>
    </message>
    <message>
        <source>Held here:</source>
        <translation>Đang giữ ở đây:</translation>
    </message>
    <message>
        <source>The address is hexadecimal, such as 0x040E, and ASCII digits take up to 20 bytes, the other formats up to 8.</source>
        <translation>Địa chỉ ở dạng thập lục phân, ví dụ 0x040E; chữ số ASCII chiếm tối đa 20 byte, các định dạng khác tối đa 8.</translation>
    </message>
    <message>
        <source>The first number is a whole number.</source>
        <translation>Số đầu phải là số nguyên.</translation>
    </message>
    <message>
        <source>The step is a whole number from 1.</source>
        <translation>Bước phải là số nguyên từ 1 trở lên.</translation>
    </message>
    <message>
        <source>The last number is empty, or no lower than the first.</source>
        <translation>Số cuối để trống, hoặc không nhỏ hơn số đầu.</translation>
    </message>
    <message>
        <source>%1 bytes in this format hold numbers up to %2.</source>
        <translation>%1 byte ở định dạng này chứa được số tới %2.</translation>
    </message>
    <message>
        <source>The next number can be raised, never lowered below %1: the numbers below it have been handed out.</source>
        <translation>Số tiếp theo có thể tăng, không bao giờ giảm dưới %1: các số nhỏ hơn đã được cấp.</translation>
    </message>
</context>
<context>
    <name>SlotTile</name>
    <message>
        <source>adaptor unplugged</source>
        <translation>bộ chuyển đổi đã rút</translation>
    </message>
    <message>
        <source>remove the unit</source>
        <translation>lấy thiết bị ra</translation>
    </message>
    <message>
        <source>paused by the line controller</source>
        <translation>bộ điều khiển dây chuyền tạm dừng</translation>
    </message>
    <message>
        <source>checking the unit&apos;s label</source>
        <translation>đang kiểm tra nhãn thiết bị</translation>
    </message>
    <message>
        <source>scan the unit&apos;s label</source>
        <translation>quét nhãn thiết bị</translation>
    </message>
    <message>
        <source>the station is stopping</source>
        <translation>trạm đang dừng</translation>
    </message>
    <message>
        <source>waiting for serial numbers from the database</source>
        <translation>đang chờ số sê-ri từ cơ sở dữ liệu</translation>
    </message>
    <message>
        <source>many resends: clean and align the adaptor</source>
        <translation>gửi lại nhiều: lau và chỉnh bộ chuyển đổi</translation>
    </message>
    <message>
        <source>Stopped</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Đã dừng</translation>
    </message>
    <message>
        <source>Plug in the adaptor</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Cắm bộ chuyển đổi</translation>
    </message>
    <message>
        <source>Port in use</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Cổng đang bận</translation>
    </message>
    <message>
        <source>No access to the port</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Không truy cập được cổng</translation>
    </message>
    <message>
        <source>Place a unit</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Đặt thiết bị</translation>
    </message>
    <message>
        <source>Flashing</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Đang nạp</translation>
    </message>
    <message>
        <source>No answer</source>
        <extracomment>a slot&apos;s state, the largest word on its tile</extracomment>
        <translation>Không phản hồi</translation>
    </message>
    <message>
        <source>PASS</source>
        <extracomment>the unit&apos;s result, the largest word on its tile</extracomment>
        <translation>ĐẠT</translation>
    </message>
    <message>
        <source>FAIL</source>
        <extracomment>the unit&apos;s result, the largest word on its tile</extracomment>
        <translation>LỖI</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed</source>
        <translation>%1 đạt, %2 lỗi</translation>
    </message>
    <message>
        <source>clean and align the adaptor</source>
        <translation>lau và chỉnh bộ chuyển đổi</translation>
    </message>
    <message>
        <source>held by %1</source>
        <translation>đang bị %1 giữ</translation>
    </message>
    <message>
        <source>unplugged; looked for every second</source>
        <translation>đã rút; tìm lại mỗi giây</translation>
    </message>
    <message>
        <source>looked for every second</source>
        <translation>tìm lại mỗi giây</translation>
    </message>
    <message>
        <source>place the next unit</source>
        <translation>đặt thiết bị tiếp theo</translation>
    </message>
    <message>
        <source>%1 of %2 lines</source>
        <translation>%1 / %2 dòng</translation>
    </message>
    <message>
        <source>%1 left</source>
        <extracomment>the time left of an upload, as 0:42</extracomment>
        <translation>còn %1</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed;  this unit %3 % sent again</source>
        <translation>%1 đạt, %2 lỗi;  thiết bị này gửi lại %3 %</translation>
    </message>
    <message numerus="yes">
        <source>No answer for %n s</source>
        <translation>
            <numerusform>%n giây không phản hồi</numerusform>
        </translation>
    </message>
    <message>
        <source>%1: %2</source>
        <extracomment>what a screen reader says of a tile: the slot&apos;s name and its state</extracomment>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>, unit %1</source>
        <translation>, thiết bị %1</translation>
    </message>
    <message>
        <source>, label %1</source>
        <translation>, nhãn %1</translation>
    </message>
    <message>
        <source>, %1 of %2 lines</source>
        <translation>, %1 trên %2 dòng</translation>
    </message>
    <message>
        <source>, %1 percent resent</source>
        <translation>, gửi lại %1 phần trăm</translation>
    </message>
</context>
<context>
    <name>StationSetup</name>
    <message>
        <source>The station&apos;s settings could not be saved to %1.</source>
        <translation>Không lưu được thiết lập của trạm vào %1.</translation>
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
        <translation>Không có dịch vụ bàn nào trên bus hệ thống.</translation>
    </message>
    <message>
        <source>Attach to Bench</source>
        <translation>Gắn vào bàn</translation>
    </message>
    <message>
        <source>The bench&apos;s &amp;station service:</source>
        <translation>&amp;Dịch vụ trạm của bàn:</translation>
    </message>
    <message>
        <source>Released job %1, signed by %2</source>
        <translation>Công việc đã phát hành %1, ký bởi %2</translation>
    </message>
    <message>
        <source>Stop ends the bench&apos;s service. Stop it?</source>
        <translation>Dừng sẽ kết thúc dịch vụ của bàn. Dừng?</translation>
    </message>
    <message numerus="yes">
        <source>Stop ends the bench&apos;s service once the %n unit(s) being flashed are done. Stop it?</source>
        <translation>
            <numerusform>Dừng sẽ kết thúc dịch vụ của bàn khi %n thiết bị đang nạp xong. Dừng?</numerusform>
        </translation>
    </message>
    <message>
        <source>Stop the bench</source>
        <translation>Dừng bàn</translation>
    </message>
    <message>
        <source>Keep running</source>
        <translation>Tiếp tục chạy</translation>
    </message>
    <message>
        <source>broker: %1</source>
        <translation>broker: %1</translation>
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
        <translation>Trạng thái của trạm và bản ghi của mỗi thiết bị được đăng lên broker MQTT của
nhà máy tại URL này, nơi nhận lệnh của bộ điều khiển dây chuyền, ví dụ
mqtt://bench@broker.factory/factory (để trống: không có). Mật khẩu lấy từ
MQTT_PASSWORD hoặc tệp chỉ định bằng ?password-file=ĐƯỜNG_DẪN, và không bao giờ lưu ở đây.</translation>
    </message>
    <message>
        <source>Stop the station (Shift+F5) before opening a job.</source>
        <translation>Hãy dừng trạm (Shift+F5) trước khi mở công việc.</translation>
    </message>
    <message>
        <source>Open Job</source>
        <translation>Mở công việc</translation>
    </message>
    <message>
        <source>Released jobs (*.conf)|*.conf|All Files (*.*)|*.*</source>
        <translation>Công việc đã phát hành (*.conf)|*.conf|Mọi tệp (*.*)|*.*</translation>
    </message>
    <message>
        <source>The station window runs as root, for whom any unlock would be granted: run it as the operator&apos;s account.</source>
        <translation>Cửa sổ trạm đang chạy với quyền root, vốn được cấp mọi quyền mở khóa: hãy chạy bằng tài khoản của người vận hành.</translation>
    </message>
    <message>
        <source>There is no system bus here, so polkit, which decides who may change a released job&apos;s bench, cannot be asked. Close the job to change the bench.</source>
        <translation>Ở đây không có bus hệ thống nên không thể hỏi polkit, nơi quyết định ai được thay đổi bàn của công việc đã phát hành. Hãy đóng công việc để thay đổi bàn.</translation>
    </message>
    <message>
        <source>Asking polkit ...</source>
        <translation>Đang hỏi polkit ...</translation>
    </message>
    <message>
        <source>Released job %1, signed by %2 (%3). Locked: an engineer may unlock it (Station &gt; Unlock..., Ctrl+U).</source>
        <translation>Công việc đã phát hành %1, ký bởi %2 (%3). Đã khóa: kỹ sư có thể mở khóa (Trạm &gt; Mở khóa..., Ctrl+U).</translation>
    </message>
    <message>
        <source>Released job %1, signed by %2 (%3). Unlocked by %4 until %5: every change goes to the audit trail.</source>
        <translation>Công việc đã phát hành %1, ký bởi %2 (%3). %4 đã mở khóa đến %5: mọi thay đổi được ghi vào nhật ký kiểm tra.</translation>
    </message>
    <message>
        <source>Changed since it was released: its units are no longer recorded as of the job.</source>
        <translation>Đã thay đổi kể từ khi phát hành: thiết bị của nó không còn được ghi là thuộc công việc này.</translation>
    </message>
    <message>
        <source>Firmware Files (*.s19 *.s28 *.s37 *.srec *.mot *.hex)|*.s19;*.s28;*.s37;*.srec;*.mot;*.hex|Text Files (*.TXT)|*.txt|All Files (*.*)|*.*</source>
        <translation>Tệp firmware (*.s19 *.s28 *.s37 *.srec *.mot *.hex)|*.s19;*.s28;*.s37;*.srec;*.mot;*.hex|Tệp văn bản (*.TXT)|*.txt|Mọi tệp (*.*)|*.*</translation>
    </message>
    <message>
        <source>Scan a unit&apos;s label (or a slot&apos;s name, then the label)</source>
        <translation>Quét nhãn thiết bị (hoặc tên vị trí, rồi đến nhãn)</translation>
    </message>
    <message>
        <source>Scanned label</source>
        <translation>Nhãn đã quét</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Bắt đầu</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>&amp;Dừng</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Tệp</translation>
    </message>
    <message>
        <source>&amp;Open Firmware...</source>
        <translation>&amp;Mở firmware...</translation>
    </message>
    <message>
        <source>Open &amp;Job...</source>
        <translation>Mở &amp;công việc...</translation>
    </message>
    <message>
        <source>&amp;Attach to Bench...</source>
        <translation>Gắn &amp;vào bàn...</translation>
    </message>
    <message>
        <source>&amp;Close Job</source>
        <translation>Đón&amp;g công việc</translation>
    </message>
    <message>
        <source>&amp;Pin SHA-256...</source>
        <translation>G&amp;him SHA-256...</translation>
    </message>
    <message>
        <source>&amp;Serial Numbers...</source>
        <translation>&amp;Số sê-ri...</translation>
    </message>
    <message>
        <source>&amp;Labels...</source>
        <translation>&amp;Nhãn...</translation>
    </message>
    <message>
        <source>&amp;Export Bench Config...</source>
        <translation>&amp;Xuất cấu hình bàn...</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Thoát</translation>
    </message>
    <message>
        <source>S&amp;lot</source>
        <translation>&amp;Vị trí</translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation>&amp;Thêm...</translation>
    </message>
    <message>
        <source>&amp;Rename...</source>
        <translation>Đổi tê&amp;n...</translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation>&amp;Xóa</translation>
    </message>
    <message>
        <source>Move &amp;Earlier</source>
        <translation>Chuyển &amp;lên trước</translation>
    </message>
    <message>
        <source>Move &amp;Later</source>
        <translation>Chuyển &amp;ra sau</translation>
    </message>
    <message>
        <source>&amp;Transcript</source>
        <translation>Nhật &amp;ký truyền</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Xem</translation>
    </message>
    <message>
        <source>&amp;Full Screen</source>
        <translation>&amp;Toàn màn hình</translation>
    </message>
    <message>
        <source>&amp;Station</source>
        <translation>T&amp;rạm</translation>
    </message>
    <message>
        <source>&amp;Unlock...</source>
        <translation>&amp;Mở khóa...</translation>
    </message>
    <message>
        <source>&amp;Lock</source>
        <translation>&amp;Khóa</translation>
    </message>
    <message>
        <source>Sound on &amp;Failure</source>
        <translation>Âm thanh khi &amp;lỗi</translation>
    </message>
    <message>
        <source>&amp;Records</source>
        <translation>Bản &amp;ghi</translation>
    </message>
    <message>
        <source>&amp;Choose Record File...</source>
        <translation>&amp;Chọn tệp bản ghi...</translation>
    </message>
    <message>
        <source>&amp;Database...</source>
        <translation>Cơ &amp;sở dữ liệu...</translation>
    </message>
    <message>
        <source>&amp;Broker...</source>
        <translation>&amp;Broker...</translation>
    </message>
    <message>
        <source>&amp;Summary</source>
        <translation>&amp;Tóm tắt</translation>
    </message>
    <message>
        <source>%1 is empty: there is no line to send.</source>
        <translation>%1 trống: không có dòng nào để gửi.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no SHA-256: it has 64 hexadecimal digits.</source>
        <translation>&quot;%1&quot; không phải SHA-256: SHA-256 có 64 chữ số thập lục phân.</translation>
    </message>
    <message>
        <source>%1: each adaptor has one slot.</source>
        <translation>%1: mỗi bộ chuyển đổi có một vị trí.</translation>
    </message>
    <message>
        <source>%1 is in use. Stop the station (Shift+F5) before removing a slot.</source>
        <translation>%1 đang được dùng. Hãy dừng trạm (Shift+F5) trước khi xóa vị trí.</translation>
    </message>
    <message>
        <source>This computer runs released jobs only (%1): open one with File &gt; Open Job... (Ctrl+J).</source>
        <translation>Máy này chỉ chạy công việc đã phát hành (%1): hãy mở một công việc bằng Tệp &gt; Mở công việc... (Ctrl+J).</translation>
    </message>
    <message>
        <source>Open the firmware file first (File &gt; Open Firmware..., Ctrl+O).</source>
        <translation>Hãy mở tệp firmware trước (Tệp &gt; Mở firmware..., Ctrl+O).</translation>
    </message>
    <message>
        <source>Add a slot for each adaptor first (Slot &gt; Add..., Insert).</source>
        <translation>Hãy thêm một vị trí cho mỗi bộ chuyển đổi trước (Vị trí &gt; Thêm..., Insert).</translation>
    </message>
    <message>
        <source>%1 fails its check (%2): only the window starts it anyway</source>
        <translation>%1 không qua kiểm tra (%2): chỉ cửa sổ mới vẫn chạy nó</translation>
    </message>
    <message>
        <source>%1 fails its check (%2). Send it to every unit anyway?</source>
        <translation>%1 không qua kiểm tra (%2). Vẫn gửi đến mọi thiết bị?</translation>
    </message>
    <message>
        <source>Send anyway</source>
        <translation>Vẫn gửi</translation>
    </message>
    <message>
        <source>Do not start</source>
        <translation>Không bắt đầu</translation>
    </message>
    <message>
        <source>This bench was changed from the released job %1, and this computer runs released jobs only: open the job again (File &gt; Open Job...), or have the changed bench signed.</source>
        <translation>Bàn này đã bị thay đổi so với công việc đã phát hành %1, và máy này chỉ chạy công việc đã phát hành: hãy mở lại công việc (Tệp &gt; Mở công việc...), hoặc cho ký bàn đã thay đổi.</translation>
    </message>
    <message>
        <source> Choose another file under Records &gt; Choose Record File.</source>
        <translation> Hãy chọn tệp khác ở Bản ghi &gt; Chọn tệp bản ghi.</translation>
    </message>
    <message>
        <source> See File &gt; Serial Numbers...</source>
        <translation> Xem Tệp &gt; Số sê-ri...</translation>
    </message>
    <message>
        <source> See Records &gt; Database...</source>
        <translation> Xem Bản ghi &gt; Cơ sở dữ liệu...</translation>
    </message>
    <message>
        <source>The station did not start: %1.%2</source>
        <translation>Trạm không khởi động: %1.%2</translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) being flashed. Let them finish, or cancel them (they are recorded as interrupted)?</source>
        <translation>
            <numerusform>%n thiết bị đang nạp. Để chúng nạp xong, hay hủy (sẽ được ghi là bị gián đoạn)?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Let them finish</source>
        <translation>
            <numerusform>Để nạp xong</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancel them</source>
        <translation>
            <numerusform>Hủy</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) being flashed. Cancel them and quit? They are recorded as interrupted.</source>
        <translation>
            <numerusform>%n thiết bị đang nạp. Hủy và thoát? Chúng sẽ được ghi là bị gián đoạn.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cancel them and quit</source>
        <translation>
            <numerusform>Hủy và thoát</numerusform>
        </translation>
    </message>
    <message>
        <source>Open Firmware</source>
        <translation>Mở firmware</translation>
    </message>
    <message>
        <source>%1 not found!</source>
        <translation>Không tìm thấy %1!</translation>
    </message>
    <message>
        <source>Stop the station before opening another firmware file: the units of one run all get the same file.</source>
        <translation>Hãy dừng trạm trước khi mở tệp firmware khác: mọi thiết bị trong một lượt đều nhận cùng một tệp.</translation>
    </message>
    <message>
        <source>Pin SHA-256</source>
        <translation>Ghim SHA-256</translation>
    </message>
    <message>
        <source>The SHA-256 every unit&apos;s file must have (empty: none pinned):</source>
        <translation>SHA-256 mà tệp của mỗi thiết bị phải có (để trống: không ghim):</translation>
    </message>
    <message>
        <source>Database</source>
        <translation>Cơ sở dữ liệu</translation>
    </message>
    <message>
        <source>Every unit&apos;s record also goes to the factory&apos;s PostgreSQL at this URI, such as
postgresql://bench@db.factory/production (empty: none). The password comes from
PGPASSWORD or ~/.pgpass and is never kept here.</source>
        <translation>Bản ghi của mỗi thiết bị cũng được gửi tới PostgreSQL của nhà máy tại URI này, ví dụ
postgresql://bench@db.factory/production (để trống: không có). Mật khẩu lấy từ
PGPASSWORD hoặc ~/.pgpass và không bao giờ lưu ở đây.</translation>
    </message>
    <message>
        <source>The password is not kept with the station&apos;s settings: put it in ~/.pgpass (a line host:port:database:user:password, the file readable by you alone).</source>
        <translation>Mật khẩu không được lưu cùng thiết lập của trạm: hãy ghi vào ~/.pgpass (một dòng host:port:database:user:password, tệp chỉ bạn đọc được).</translation>
    </message>
    <message>
        <source>The database is used from the next start of the station (Shift+F5, then F5).</source>
        <translation>Cơ sở dữ liệu được dùng từ lần khởi động trạm tiếp theo (Shift+F5, rồi F5).</translation>
    </message>
    <message>
        <source>Export Bench Config</source>
        <translation>Xuất cấu hình bàn</translation>
    </message>
    <message>
        <source>Bench Configs (*.conf)|*.conf|All Files (*.*)|*.*</source>
        <translation>Cấu hình bàn (*.conf)|*.conf|Mọi tệp (*.*)|*.*</translation>
    </message>
    <message>
        <source>Exported to %1: firmware-upload --station --config %1 runs this bench without a window.</source>
        <translation>Đã xuất ra %1: firmware-upload --station --config %1 chạy bàn này không cần cửa sổ.</translation>
    </message>
    <message>
        <source>Choose Record File</source>
        <translation>Chọn tệp bản ghi</translation>
    </message>
    <message>
        <source>Records (*.jsonl)|*.jsonl|All Files (*.*)|*.*</source>
        <translation>Bản ghi (*.jsonl)|*.jsonl|Mọi tệp (*.*)|*.*</translation>
    </message>
    <message>
        <source>Record Summary - %1</source>
        <translation>Tóm tắt bản ghi - %1</translation>
    </message>
    <message>
        <source>Rename Slot</source>
        <translation>Đổi tên vị trí</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Tên:</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>The bench&apos;s service has no firmware file open</source>
        <translation>Dịch vụ của bàn chưa mở tệp firmware nào</translation>
    </message>
    <message>
        <source>No firmware file: File &gt; Open Firmware... (Ctrl+O)</source>
        <translation>Chưa có tệp firmware: Tệp &gt; Mở firmware... (Ctrl+O)</translation>
    </message>
    <message numerus="yes">
        <source>%1   %n lines   SHA-256 %2</source>
        <translation>
            <numerusform>%1   %n dòng   SHA-256 %2</numerusform>
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
        <translation>Không qua kiểm tra: %1</translation>
    </message>
    <message>
        <source>%1, passes its check</source>
        <translation>%1, qua kiểm tra</translation>
    </message>
    <message>
        <source>%1, passes its check; data %2</source>
        <translation>%1, qua kiểm tra; dữ liệu %2</translation>
    </message>
    <message>
        <source>Pinned SHA-256 matches.</source>
        <translation>SHA-256 đã ghim khớp.</translation>
    </message>
    <message>
        <source>Pinned SHA-256 %1... does NOT match: the station will not start.</source>
        <translation>SHA-256 đã ghim %1... KHÔNG khớp: trạm sẽ không khởi động.</translation>
    </message>
    <message>
        <source>Serial numbers at %1, the next %2.</source>
        <translation>Số sê-ri tại %1, số tiếp theo %2.</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed, units per hour: %3  (running)</source>
        <translation>%1 đạt, %2 lỗi, thiết bị mỗi giờ: %3  (đang chạy)</translation>
    </message>
    <message>
        <source>%1 passed, %2 failed, units per hour: %3  (stopped)</source>
        <translation>%1 đạt, %2 lỗi, thiết bị mỗi giờ: %3  (đã dừng)</translation>
    </message>
    <message>
        <source>Record: %1</source>
        <translation>Bản ghi: %1</translation>
    </message>
    <message>
        <source>database: %1</source>
        <translation>cơ sở dữ liệu: %1</translation>
    </message>
    <message>
        <source>the window&apos;s own station is running: stop it first</source>
        <translation>trạm riêng của cửa sổ đang chạy: hãy dừng trước</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>&amp;Ngôn ngữ</translation>
    </message>
    <message>
        <source>The &amp;System&apos;s</source>
        <translation>Theo &amp;hệ thống</translation>
    </message>
    <message numerus="yes">
        <source>%1: its %n unit(s) are made</source>
        <translation>
            <numerusform>%1: đã làm xong %n thiết bị</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %n unit(s)</source>
        <translation>
            <numerusform>%1: %n thiết bị</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %n unit(s), permits here: %2</source>
        <translation>
            <numerusform>%1: %n thiết bị, phép tại đây: %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 of %n left</source>
        <translation>
            <numerusform>%1: còn %2 / %n</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1: %2 of %n left, permits here: %3</source>
        <translation>
            <numerusform>%1: còn %2 / %n, phép tại đây: %3</numerusform>
        </translation>
    </message>
    <message>
        <source>This window has no words in %1: it shows them in English.</source>
        <translation>Cửa sổ này không có từ ngữ bằng %1: hiển thị bằng tiếng Anh.</translation>
    </message>
</context>
</TS>
