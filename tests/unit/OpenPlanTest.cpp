// The decisions of opening over a made-up world of files, discs and mounts: one row per outcome.
#include <map>
#include <set>

#include "app/OpenPlan.h"
#include "tests/unit/gtest_wine.h"

namespace {

class FakeProbes : public OpenProbes {
public:
    bool isDirectory(const WString& path) override { return kinds.count(path) > 0; }
    bool canRead(const WString& path, WString* why) override {
        if (path != L"C:\\gone.mkv") return true;
        *why = L"C:\\gone.mkv does not exist";
        return false;
    }
    bool isFileSystemImage(const WString& path) override { return path == L"C:\\copy.img"; }
    bool isMediaFile(const WString& path) override { return path == L"C:\\a.mkv"; }
    DiscKind detectDiscKind(const WString& root) override {
        auto found = kinds.find(root);
        return found == kinds.end() ? DiscKind::None : found->second;
    }
    WString discStructureProblem(const WString& root, DiscKind) override {
        return root == L"C:\\bd" ? L"BDMV\\index.bdmv is missing" : WString();
    }
    bool isRawDiscImage(const WString& path) override { return path == L"C:\\v.bin"; }
    WString videoCdCueOf(const WString& path) override {
        return path.size() > 4 && path.substr(path.size() - 4) == L".cue" ? path : WString();
    }
    DiscKind imageDiscKind(const WString& image) override {
        return image == L"C:\\nodrive-dvd.iso" ? DiscKind::Dvd : DiscKind::None;
    }
    bool canMount(const WString& image, WString* reason) override {
        if (image.find(L"nodrive") == WString::npos) return true;
        *reason = L"FUSE is missing";
        return false;
    }
    bool mount(const WString& image, WString* root, WString* reason) override {
        mounted.insert(image);
        if (image == L"C:\\broken.iso") {
            *reason = L"the file is not a disc image";
            return false;
        }
        *root = image == L"C:\\data.iso" ? L"L:\\" : L"K:\\";
        return true;
    }
    void releaseMounts() override { ++releases; }

    std::map<WString, DiscKind> kinds = {{L"C:\\plain", DiscKind::None},
                                         {L"C:\\dvd", DiscKind::Dvd},
                                         {L"C:\\bd", DiscKind::BluRay},
                                         {L"K:\\", DiscKind::Dvd},
                                         {L"L:\\", DiscKind::None}};
    std::set<WString> mounted;
    int releases = 0;
};

} // namespace

TEST(OpenPlan, EachRouteComesToOnePlan) {
    using A = OpenAction;
    using R = OpenRoute;
    const struct {
        R route;
        const wchar_t* path;
        A action;
        const wchar_t* planned; // path, or the message's start for a refusal
        DiscKind kind;
        bool single;   // Play: the entry alone; Refuse: the mounts are released
        int releases;  // releases asked while planning
        bool mounts;   // the image was mounted
    } rows[] = {
        {R::OpenFile, L"C:\\a.mkv", A::Play, L"C:\\a.mkv", DiscKind::None, false, 0, false},
        {R::Drop, L"C:\\a.xyz", A::Refuse, L"Could not load the file.", DiscKind::None, false, 0,
         false},
        {R::Drop, L"C:\\plain", A::Refuse, L"Could not load the disk.", DiscKind::None, false, 0,
         false},
        {R::OpenDisk, L"C:\\dvd", A::Play, L"C:\\dvd", DiscKind::Dvd, false, 0, false},
        {R::OpenDisk, L"C:\\bd", A::Refuse, L"Could not load the file.\nBDMV\\index.bdmv",
         DiscKind::None, true, 0, false},
        {R::DiscDrive, L"C:\\dvd", A::Play, L"C:\\dvd", DiscKind::Dvd, false, 0, false},
        {R::CommandLine, L"C:\\v.bin", A::Refuse, L"Could not load the file.\nThe disc image's cue",
         DiscKind::None, false, 0, false},
        {R::HandOver, L"C:\\vcd.cue", A::Play, L"C:\\vcd.cue", DiscKind::VideoCd, true, 1, false},
        {R::OpenIso, L"C:\\nodrive-dvd.iso", A::Play, L"C:\\nodrive-dvd.iso", DiscKind::Dvd, true,
         1, false},
        {R::OpenIso, L"C:\\nodrive-data.iso", A::Refuse,
         L"Could not mount the file.\nFUSE is missing.", DiscKind::None, false, 1, false},
        {R::OpenIso, L"C:\\broken.iso", A::Refuse,
         L"Could not mount the file.\nThe file is not a disc image.", DiscKind::None, false, 1,
         true},
        {R::OpenIso, L"C:\\data.iso", A::Browse, L"L:\\", DiscKind::None, false, 1, true},
        {R::OpenFile, L"C:\\film.iso", A::Play, L"K:\\", DiscKind::Dvd, false, 1, true},
        {R::HandOver, L"C:\\copy.img", A::Play, L"K:\\", DiscKind::Dvd, false, 1, true},
        {R::Drop, L"C:\\dvd", A::Play, L"C:\\dvd", DiscKind::Dvd, false, 0, false},
        {R::CommandLine, L"C:\\gone.mkv", A::Refuse,
         L"Could not load the file.\nC:\\gone.mkv does not exist.", DiscKind::None, false, 0,
         false},
    };
    for (const auto& row : rows) {
        FakeProbes probes;
        // Only a drive's scan arrives with the structure already found.
        const DiscKind scanned = row.route == R::DiscDrive ? row.kind : DiscKind::None;
        const OpenPlan plan = planOpen({row.route, row.path, scanned}, probes);
        const std::string where = toUtf8(row.path);
        ASSERT_EQ(plan.action, row.action) << where;
        EXPECT_EQ(probes.releases, row.releases) << where;
        EXPECT_EQ(probes.mounted.count(row.path) > 0, row.mounts) << where;
        if (row.action == A::Refuse) {
            EXPECT_EQ(plan.message.substr(0, lstrlenW(row.planned)), WString(row.planned)) << where;
            EXPECT_EQ(plan.releaseMounts, row.single) << where;
            continue;
        }
        EXPECT_EQ(plan.path, WString(row.planned)) << where;
        EXPECT_EQ(plan.kind, row.kind) << where;
        if (row.action == A::Play) EXPECT_EQ(plan.singleEntry, row.single) << where;
        // A disc from an image is kept under the image's name; the no-drive note comes with it.
        const bool noDrive = WString(row.path).find(L"nodrive") != WString::npos;
        EXPECT_EQ(plan.image, row.mounts || noDrive ? WString(row.path) : WString()) << where;
        EXPECT_EQ(!plan.message.empty(), noDrive) << where;
    }
}
