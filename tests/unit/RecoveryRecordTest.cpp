#include "sdk/RecoveryRecord.h"

#include "core/Text.h"
#include "platform/ContentDigest.h"
#include "platform/FullPath.h"

#include <gtest/gtest.h>

#include <string>

using Vexo::Platform::Bitness;

namespace {

const std::vector<std::wstring> recordFolders = {L"C:\\Program Files\\Vexo",
                                                 L"C:\\Program Files\\Vexo\\Rimkit",
                                                 L"C:\\Program Files\\Vexo\\Rimkit\\Recovery"};
const std::wstring folder = L"C:\\Ops\\New\\9_1_1";
const std::wstring x64 = folder + L"\\vexo_steering_wheel_x64.dll";
const std::wstring x86 = folder + L"\\vexo_steering_wheel_x86.dll";
const std::wstring old64 = L"C:\\Ops\\Öld\\vexo_steering_wheel_x64.dll";

Vexo::Platform::ContentDigest Digest(const std::string& bytes) {
    return *Vexo::Platform::DigestOf(bytes);
}

// A record as an upgrade stopped part way leaves it.
RecoveryRecord Upgrade() {
    RecoveryRecord record;
    const std::wstring system86 = L"C:\\windows\\syswow64\\vexo_steering_wheel_x86.dll";
    record.previous.named64 = old64;
    record.previous.named32 = system86;
    record.previous.files.push_back({old64, std::nullopt, Digest("old"), {Bitness::Bits64}});
    record.previous.files.push_back({system86, std::nullopt, std::nullopt, {Bitness::Bits32}});
    record.changes.installFolder = folder;
    record.changes.createdFolders = {L"C:\\Ops\\New", folder};
    record.changes.written = {{x64, Digest("new 64")}, {x86, Digest("new 32")}};
    record.changes.movedAside = {{x64 + L".12-345-0.old", Digest("old")}};
    record.changes.handedToRegsvr32 = {x64};
    record.changes.registered = {x64};
    record.recordFolders = {recordFolders[0]};
    return record;
}

std::string Reason(const std::string& text) {
    const auto read = ReadRecordText(text, recordFolders);
    return read.hasError() ? read.error().message : "(used)";
}

// The text with one more field before its closing line, closed again.
std::string WithField(const std::string& text, const std::string& field) {
    const std::string body = text.substr(0, text.rfind("end 64:")) + field;
    return body + "end 64:" + Vexo::Platform::Sha256Text(Digest(body)) + "\n";
}

} // namespace

TEST(RecoveryRecord, TextReadsBackAsTheSameRecord) {
    const std::string text = RecordText(Upgrade());
    const auto read = ReadRecordText(text, recordFolders);
    ASSERT_FALSE(read.hasError()) << read.error().message;
    EXPECT_EQ(RecordText(read.value()), text);
    EXPECT_EQ(read.value().changes.written[1].path, x86);
    EXPECT_EQ(read.value().previous.files[0].path, old64);
    EXPECT_EQ(read.value().previous.files[0].digest, Digest("old"));
    EXPECT_FALSE(read.value().previous.files[1].digest);

    // A path as the run spelt it is noted in full.
    RecoveryRecord relative = Upgrade();
    relative.changes.installFolder = L"rel";
    relative.changes.written = {{L"rel\\vexo_steering_wheel_x64.dll", Digest("new 64")}};
    relative.changes.movedAside = {{L"rel\\vexo_steering_wheel_x64.dll.1-2-0.old", Digest("old")}};
    relative.changes.createdFolders = {L"rel"};
    relative.changes.handedToRegsvr32 = relative.changes.registered = {};
    const auto full = ReadRecordText(RecordText(relative), recordFolders);
    ASSERT_FALSE(full.hasError()) << full.error().message;
    EXPECT_EQ(full.value().changes.written[0].path,
              Vexo::Platform::FullPath(L"rel\\vexo_steering_wheel_x64.dll"));
    EXPECT_EQ(full.value().changes.movedAside[0].path,
              Vexo::Platform::FullPath(L"rel\\vexo_steering_wheel_x64.dll.1-2-0.old"));
}

TEST(RecoveryRecord, OnlyAWholeRecordOfThisVersionIsRead) {
    const std::string text = RecordText(Upgrade());
    for (std::size_t cut = 0; cut < text.size(); ++cut) {
        EXPECT_EQ(Reason(text.substr(0, cut)), "it is damaged") << cut;
    }
    std::string changed = text;
    changed[text.size() / 2] ^= 1;
    for (const auto& damaged :
         {changed, WithField(text, "extra 3:abc\n"), WithField(text, "views 2:32\n") + "\n",
          std::string(text).replace(text.find("record 2"), 8, "record 3"), WithField(text, [] {
              std::string many;
              for (int field = 0; field < 1000; ++field) {
                  many += "handed 4:C:\\x\n";
              }
              return many;
          }())}) {
        EXPECT_EQ(Reason(damaged), "it is damaged");
    }
}

std::string Field(const std::string& name, const std::string& value) {
    return name + " " + std::to_string(value.size()) + ":" + value + "\n";
}

// Every path must be one a run could have made.
TEST(RecoveryRecord, PathsNoRunCouldHaveMadeAreNamed) {
    const std::string user = "C:\\Users\\Public\\Documents\\keep.txt";
    const std::string system64 = "C:\\windows\\system32\\vexo_steering_wheel_x64.dll";
    const std::string sdkDll = "C:\\vexo_steering_wheel_x64.dll";
    const std::string installed = toNarrow(x64);
    const std::string old = toNarrow(old64);
    // A folder in System32, and a file "below" it that lies elsewhere.
    const std::string systemFolder = "C:\\windows\\system32\\empty";
    const std::string around =
        systemFolder + "\\..\\..\\..\\Ops\\New\\9_1_1\\vexo_steering_wheel_x86.dll";
    const std::string held = "64 " + std::string(64, '0') + " "; // what a file held
    const std::string views = Field("views", "64");
    const struct {
        std::string field;
        std::string named; // empty: the record is used
    } cases[] = {
        {Field("written", held + user), user},
        {Field("written", held + system64), system64},
        {Field("handed", "vexo_steering_wheel_x64.dll"), "vexo_steering_wheel_x64.dll"},
        {Field("registered", "C:\\Ops\\other.dll"), "C:\\Ops\\other.dll"},
        {Field("aside", held + "C:\\Ops\\other.dll.1-2-0.old"), "C:\\Ops\\other.dll.1-2-0.old"},
        {Field("aside", held + installed + ".1-2-0.old"), ""},
        {Field("aside", held + sdkDll + ".1-2-0.old"), sdkDll + ".1-2-0.old"},
        {Field("written", held + sdkDll), sdkDll},
        {Field("handed", installed), ""},
        {Field("folder", systemFolder) + Field("written", held + around), around},
        {Field("folder", "C:\\keepdir"), "C:\\keepdir"},
        {Field("folder", "C:\\Ops"), ""},
        {Field("folder", "C:\\Ops\\.\\New"), "C:\\Ops\\.\\New"},
        {Field("made", "C:\\Ops"), "C:\\Ops"},
        {Field("file", system64) + views + Field("saved", held + "previous-2.bin"), system64},
        {Field("file", system64) + views, system64}, // no view named it
        {Field("file", old) + views, ""},
        {Field("file", old) + Field("views", "32"), old},
        {Field("file", old) + views + Field("saved", held + "..\\other.bin"), "..\\other.bin"},
    };
    const std::string text = RecordText(Upgrade());
    for (const auto& test : cases) {
        SCOPED_TRACE(test.field);
        EXPECT_EQ(Reason(WithField(text, test.field)),
                  test.named.empty() ? "(used)"
                                     : "it names a file that is not the SDK's: " + test.named);
    }
    // Consistent as text, but not in the one form a run writes.
    const std::string unresolved = "C:\\Ops\\New\\..\\New\\9_1_1";
    const std::string body = "rimkit_manager recovery record 2\n" + Field("install", unresolved) +
                             Field("written", held + unresolved + "\\vexo_steering_wheel_x64.dll");
    EXPECT_EQ(Reason(body + "end 64:" + Vexo::Platform::Sha256Text(Digest(body)) + "\n"),
              "it names a file that is not the SDK's: " + unresolved);
}
