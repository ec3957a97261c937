// The engine's message-box texts. The Chinese ones are the code page 950
// bytes the "A" message box expects; the UTF-8 form of each is in its
// comment (a unit test converts them back and compares).
#pragma once

namespace engine_text {

// "磁碟錯誤!" (disk error!): caption of the write and damage messages.
const char kDiskErrorCaption[] = "\xBA\xCF\xBA\xD0\xBF\xF9\xBB\x7E!";
// "無法寫入磁碟" (cannot write to the disk).
const char kCannotWrite[] = "\xB5\x4C\xAA\x6B\xBC\x67\xA4\x4A\xBA\xCF\xBA\xD0";
// "無法讀取磁碟" (cannot read the disc).
const char kCannotRead[] = "\xB5\x4C\xAA\x6B\xC5\xAA\xA8\xFA\xBA\xCF\xBA\xD0";
// "安裝資料損毀" (the installation data is damaged).
const char kDataDamaged[] = "\xA6\x77\xB8\xCB\xB8\xEA\xAE\xC6\xB7\x6C\xB7\xB4";

const char kCreateFileFail[] = "Create File Fail";
const char kErrorCaption[] = "Error";
const char kInsertDiscFormat[] = "Please Insert Disc #%d";
const char kNextDiscCaption[] = "Next Disc";

}  // namespace engine_text
