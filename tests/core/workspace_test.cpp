#include "core/workspace.h"
#include "core/workspace_store.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

using namespace kavelo;

namespace {

Workspace fullWorkspace(std::string name)
{
    return Workspace{
        .name = std::move(name),
        .displays = "1552-41005-0-1512x982|7789-30000-12-2560x1440",
        .windows = {{"com.apple.Safari", "Kavelo — Docs", Rect(10, 20, 800, 600)},
                    {"com.apple.Terminal", "zsh", Rect(-1440.5, 0, 720.25, 900)},
                    {"com.apple.Safari", "", Rect(0, 0, 1, 1)}},
        .savedAt = dateFromEpochSeconds(1741079100), // 2025-03-04T09:05:00Z
        .tabs = {{"com.apple.Safari", {"https://a.example/", "http://b.example/x?y=1"}}, {"org.mozilla.firefox", {}}},
        .slot = 3,
        .hidesOtherApps = true,
        .tidy = TidyLayout::columns,
        .opensOnSetup = true,
    };
}

Workspace minimalWorkspace(std::string name, double savedAt)
{
    return Workspace{.name = std::move(name), .displays = "1-2-3-100x100", .savedAt = dateFromEpochSeconds(savedAt)};
}

class StoreFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter = 0;
        root = std::filesystem::temp_directory_path() /
               ("kavelo-store-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        store = WorkspaceStore(root / "Kavelo" / "Layouts");
    }
    void TearDown() override { std::filesystem::remove_all(root); }

    void write(const std::string& fileName, const std::string& bytes) const
    {
        std::filesystem::create_directories(store.directory);
        std::ofstream(store.directory / fileName, std::ios::binary) << bytes;
    }

    std::vector<std::string> files() const
    {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(store.directory))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    static std::vector<std::string> names(const std::vector<Workspace>& list)
    {
        std::vector<std::string> out;
        for (const Workspace& w : list)
            out.push_back(w.name);
        return out;
    }

    std::filesystem::path root;
    WorkspaceStore store;
};

} // namespace

TEST(WorkspaceRecord, AppsAreDistinctInOrderOfFirstAppearance)
{
    EXPECT_EQ(fullWorkspace("x").apps(), (std::vector<std::string>{"com.apple.Safari", "com.apple.Terminal"}));
    EXPECT_TRUE(Workspace{}.apps().empty());
}

TEST(WorkspaceFile, MembersAreWrittenInFieldOrder)
{
    EXPECT_EQ(toJSON(fullWorkspace("Deep work")).dump(),
              R"({"name":"Deep work","displays":"1552-41005-0-1512x982|7789-30000-12-2560x1440","windows":[)"
              R"({"bundleID":"com.apple.Safari","title":"Kavelo — Docs","frame":[[10.0,20.0],[800.0,600.0]]},)"
              R"({"bundleID":"com.apple.Terminal","title":"zsh","frame":[[-1440.5,0.0],[720.25,900.0]]},)"
              R"({"bundleID":"com.apple.Safari","title":"","frame":[[0.0,0.0],[1.0,1.0]]}],)"
              R"("savedAt":"2025-03-04T09:05:00Z",)"
              R"("tabs":{"com.apple.Safari":["https://a.example/","http://b.example/x?y=1"],"org.mozilla.firefox":[]},)"
              R"("slot":3,"hidesOtherApps":true,"tidy":"columns","opensOnSetup":true})");
    EXPECT_EQ(toJSON(minimalWorkspace("m", 0)).dump(),
              R"({"name":"m","displays":"1-2-3-100x100","windows":[],"savedAt":"1970-01-01T00:00:00Z",)"
              R"("tabs":{},"hidesOtherApps":false,"opensOnSetup":false})");
}

TEST(WorkspaceFile, ReadingIsStrictAboutRequiredMembersOnly)
{
    const std::string head = R"({"name":"n","displays":"d","windows":[],"savedAt":"2025-03-04T09:05:00Z")";
    const auto minimal = decodeWorkspace(head + "}");
    ASSERT_TRUE(minimal);
    EXPECT_EQ(*minimal, (Workspace{.name = "n", .displays = "d", .savedAt = dateFromEpochSeconds(1741079100)}));
    // Members this version does not know are ignored; null reads as missing.
    EXPECT_TRUE(decodeWorkspace(head + R"(,"future":1,"slot":null})"));

    EXPECT_FALSE(decodeWorkspace(R"({"displays":"d","windows":[],"savedAt":"2025-03-04T09:05:00Z"})"));
    EXPECT_FALSE(decodeWorkspace(R"({"name":"n","windows":[],"savedAt":"2025-03-04T09:05:00Z"})"));
    EXPECT_FALSE(decodeWorkspace(R"({"name":"n","displays":"d","savedAt":"2025-03-04T09:05:00Z"})"));
    EXPECT_FALSE(decodeWorkspace(R"({"name":"n","displays":"d","windows":[]})"));
    EXPECT_FALSE(decodeWorkspace(R"({"name":"n","displays":"d","windows":[],"savedAt":1741079100})"));
    EXPECT_FALSE(decodeWorkspace(head + R"(,"tidy":"spiral"})"));
    EXPECT_FALSE(decodeWorkspace(head + R"(,"slot":2.5})"));
    EXPECT_FALSE(decodeWorkspace(head + R"(,"slot":"2"})"));
    EXPECT_FALSE(decodeWorkspace(head + R"(,"hidesOtherApps":1})"));
    EXPECT_FALSE(decodeWorkspace(head + R"(,"tabs":{"b":[1]}})"));
    EXPECT_FALSE(decodeWorkspace(head + R"(,"tabs":[]})"));
    EXPECT_FALSE(decodeWorkspace(R"({"name":"n","displays":"d","savedAt":"2025-03-04T09:05:00Z",)"
                                 R"("windows":[{"bundleID":"b","title":"t"}]})"));
    EXPECT_FALSE(decodeWorkspace(R"({"name":"n","displays":"d","savedAt":"2025-03-04T09:05:00Z",)"
                                 R"("windows":[{"bundleID":"b","frame":[[0,0],[1,1]]}]})"));
    EXPECT_FALSE(decodeWorkspace("[]"));
    EXPECT_FALSE(decodeWorkspace("{"));
    EXPECT_FALSE(decodeWorkspace(""));
}

namespace {

rc::Gen<std::string> someText()
{
    return rc::gen::map(rc::gen::container<std::vector<std::string>>(
                            rc::gen::element<std::string>("a", "Z", "0", " ", "/", ":", ".", "\"", "\\", "\n", "é",
                                                          "e\u0301", "日", "😀", "-", "_")),
                        [](const std::vector<std::string>& pieces) {
                            std::string s;
                            for (const auto& p : pieces)
                                s += p;
                            return s;
                        });
}

rc::Gen<double> finiteNumber()
{
    return rc::gen::suchThat(rc::gen::arbitrary<double>(), [](double d) { return std::isfinite(d); });
}

rc::Gen<Workspace> someWorkspace()
{
    return rc::gen::exec([] {
        Workspace w;
        w.name = *someText();
        w.displays = *someText();
        const int count = *rc::gen::inRange(0, 6);
        for (int i = 0; i < count; ++i)
            w.windows.push_back(SavedWindow{*someText(), *someText(),
                                            Rect(*finiteNumber(), *finiteNumber(), *finiteNumber(), *finiteNumber())});
        // The file keeps whole seconds.
        w.savedAt = dateFromEpochSeconds(double(*rc::gen::inRange<std::int64_t>(-10'000'000'000, 250'000'000'000)));
        const int browsers = *rc::gen::inRange(0, 3);
        for (int i = 0; i < browsers; ++i)
            w.tabs[*someText()] = *rc::gen::container<std::vector<std::string>>(someText());
        if (*rc::gen::arbitrary<bool>())
            w.slot = *rc::gen::arbitrary<int>();
        w.hidesOtherApps = *rc::gen::arbitrary<bool>();
        if (*rc::gen::arbitrary<bool>())
            w.tidy = *rc::gen::elementOf(allTidyLayouts);
        w.opensOnSetup = *rc::gen::arbitrary<bool>();
        return w;
    });
}

} // namespace

RC_GTEST_PROP(WorkspaceFile, EveryWorkspaceReadsBackAsWritten, ())
{
    const Workspace w = *someWorkspace();
    RC_ASSERT(decodeWorkspace(toJSON(w).dump()) == std::optional<Workspace>(w));
}

TEST_F(StoreFolder, SaveCreatesTheFolderAndLoadsBackEveryField)
{
    const Workspace w = fullWorkspace("Deep work");
    ASSERT_NO_THROW(store.save(w));
    EXPECT_EQ(files(), (std::vector<std::string>{"Deep work.json"}));
    EXPECT_EQ(store.load("Deep work"), w);
    EXPECT_EQ(store.load("Shallow work"), std::nullopt);

    Workspace changed = w;
    changed.windows.pop_back();
    changed.tidy.reset();
    ASSERT_NO_THROW(store.save(changed));
    EXPECT_EQ(store.load("Deep work"), changed);
    EXPECT_EQ(files(), (std::vector<std::string>{"Deep work.json"}));
}

TEST_F(StoreFolder, FileNamesKeepLettersNumbersHyphensAndBlanks)
{
    const auto fileOf = [&](std::string_view name) { return store.url(name).filename().string(); };
    EXPECT_EQ(store.url("x").parent_path(), store.directory);
    EXPECT_EQ(fileOf("??"), "__.json");
    EXPECT_EQ(fileOf("Work 2 - late"), "Work 2 - late.json");
    EXPECT_EQ(fileOf("A/B"), "A_B.json");
    EXPECT_EQ(fileOf("../etc"), "___etc.json");
    EXPECT_EQ(fileOf("v1.2_final"), "v1_2_final.json");
    EXPECT_EQ(fileOf("Café ½ Ⅻ 東京"), "Café ½ Ⅻ 東京.json");
    // One underscore per user-perceived character, however many bytes it has.
    EXPECT_EQ(fileOf("🇫🇷👍🏽"), "__.json");
    EXPECT_EQ(fileOf("tab\there"), "tab_here.json");
    EXPECT_EQ(fileOf("e\u0301"), "\u00e9.json");
    EXPECT_EQ(fileOf(""), ".json");
}

TEST_F(StoreFolder, SavingANameThatSharesAnotherWorkflowsFileIsRefused)
{
    store.save(fullWorkspace("A/B"));
    try {
        store.save(fullWorkspace("A:B"));
        FAIL() << "the second save should be refused";
    } catch (const WorkspaceSaveError& e) {
        EXPECT_EQ(e.code, std::errc::file_exists);
        EXPECT_EQ(e.existingName, "A/B");
    }
    EXPECT_EQ(files(), (std::vector<std::string>{"A_B.json"}));
    EXPECT_EQ(store.load("A/B"), fullWorkspace("A/B"));

    // The same name, spelt in another Unicode form, is the same workflow.
    store.save(fullWorkspace("Caf\u00e9"));
    EXPECT_NO_THROW(store.save(fullWorkspace("Cafe\u0301")));
    EXPECT_EQ(store.load("Caf\u00e9")->name, "Cafe\u0301");

    // Once the first is deleted the name is free.
    store.remove("A/B");
    EXPECT_NO_THROW(store.save(fullWorkspace("A:B")));
    EXPECT_EQ(store.load("A_B")->name, "A:B");
}

TEST_F(StoreFolder, AFileThatIsNoWorkflowIsReplaced)
{
    write("Notes.json", "{ not json");
    EXPECT_NO_THROW(store.save(fullWorkspace("Notes")));
    EXPECT_EQ(store.load("Notes"), fullWorkspace("Notes"));
}

TEST_F(StoreFolder, AFailedSaveThrowsAndLeavesTheOldFile)
{
    // A folder standing where the file belongs cannot be replaced.
    std::filesystem::create_directories(store.directory / "Blocked.json");
    EXPECT_THROW(store.save(fullWorkspace("Blocked")), WorkspaceSaveError);
    EXPECT_TRUE(std::filesystem::is_directory(store.directory / "Blocked.json"));

    // A frame JSON cannot hold makes the save fail before anything is written.
    store.save(fullWorkspace("Frames"));
    Workspace broken = fullWorkspace("Frames");
    broken.windows[0].frame.size.width = std::numeric_limits<double>::infinity();
    broken.slot = 7;
    EXPECT_THROW(store.save(broken), WorkspaceSaveError);
    EXPECT_EQ(store.load("Frames"), fullWorkspace("Frames"));
    EXPECT_EQ(files(), (std::vector<std::string>{"Blocked.json", "Frames.json"}));

    // A file where the folder should be.
    std::ofstream(root / "plain") << "x";
    EXPECT_THROW(WorkspaceStore(root / "plain" / "Layouts").save(fullWorkspace("x")), WorkspaceSaveError);
}

TEST_F(StoreFolder, TitlesThatAreNotValidUtf8StillSave)
{
    Workspace w = fullWorkspace("Bytes");
    w.windows[1].title = "bad \xff\xfe byte";
    ASSERT_NO_THROW(store.save(w));
    const auto loaded = store.load("Bytes");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->windows[1].title, "bad \uFFFD\uFFFD byte");
}

TEST_F(StoreFolder, AFileWithoutOptionalMembersGainsThemOnTheNextSave)
{
    write("Old.json", R"({"name":"Old","displays":"d","savedAt":"2025-03-04T09:05:00Z",)"
                      R"("windows":[{"bundleID":"b","title":"t","frame":[[1,2],[3,4]]}]})");
    const auto old = store.load("Old");
    ASSERT_TRUE(old);
    EXPECT_TRUE(old->tabs.empty());
    EXPECT_EQ(old->slot, std::nullopt);
    EXPECT_EQ(old->tidy, std::nullopt);
    EXPECT_FALSE(old->hidesOtherApps);
    EXPECT_FALSE(old->opensOnSetup);
    EXPECT_EQ(old->windows, (std::vector<SavedWindow>{{"b", "t", Rect(1, 2, 3, 4)}}));

    store.save(*old);
    EXPECT_EQ(readFile(store.url("Old")),
              R"({"name":"Old","displays":"d","windows":[{"bundleID":"b","title":"t","frame":[[1.0,2.0],[3.0,4.0]]}],)"
              R"("savedAt":"2025-03-04T09:05:00Z","tabs":{},"hidesOtherApps":false,"opensOnSetup":false})");
}

TEST_F(StoreFolder, NamedListsTheUsersWorkflowsNewestFirst)
{
    EXPECT_TRUE(store.named().empty()); // the folder does not exist yet

    store.save(minimalWorkspace("Morning", 1000));
    store.save(minimalWorkspace("Evening", 3000));
    store.save(minimalWorkspace("Noon", 2000));
    store.save(minimalWorkspace("Tie b", 500));
    store.save(minimalWorkspace("Tie a", 500));
    store.save(minimalWorkspace(WorkspaceStore::autoName("1-2-3-100x100"), 9000));
    store.save(minimalWorkspace("auto-mine", 9000));
    write("readme.txt", "hello");
    write("Upper.JSON", toJSON(minimalWorkspace("Upper", 9000)).dump());
    write("Broken.json", R"({"name":"Broken"})");
    write("Empty.json", "");
    std::filesystem::create_directories(store.directory / "Folder.json");

    EXPECT_EQ(names(store.named()), (std::vector<std::string>{"Evening", "Noon", "Morning", "Tie a", "Tie b"}));

    // Hidden from the list, but loadable by name.
    EXPECT_TRUE(store.load(WorkspaceStore::autoName("1-2-3-100x100")));
    EXPECT_TRUE(store.load("auto-mine"));
}

TEST_F(StoreFolder, EveryFileThatHoldsAWorkflowListsItOnceUnderItsName)
{
    // A copy made in a file manager, a name with a dot saved by hand, and a
    // name that maps to the dotted one's file: all were invisible or twice.
    write("X (copy).json", toJSON(minimalWorkspace("X", 30)).dump());
    write("a.b.json", toJSON(minimalWorkspace("a.b", 20)).dump());
    write("a_b.json", toJSON(minimalWorkspace("a_b", 10)).dump());
    write("Copy of Y.json", toJSON(minimalWorkspace("Y", 5)).dump());
    write("Y.json", toJSON(minimalWorkspace("Y", 6)).dump());
    EXPECT_EQ(names(store.named()), (std::vector<std::string>{"X", "a.b", "a_b", "Y"}));

    // Each listed name loads what the list shows; the file its name maps to
    // wins over a copy.
    EXPECT_EQ(store.load("a.b"), minimalWorkspace("a.b", 20));
    EXPECT_EQ(store.load("a_b"), minimalWorkspace("a_b", 10));
    EXPECT_EQ(store.load("X"), minimalWorkspace("X", 30));
    EXPECT_EQ(store.load("Y"), minimalWorkspace("Y", 6));

    // Removing a listed name takes the file it was listed from.
    store.remove("X");
    store.remove("a.b");
    EXPECT_EQ(files(), (std::vector<std::string>{"Copy of Y.json", "Y.json", "a_b.json"}));
    store.remove("Y");
    EXPECT_EQ(names(store.named()), (std::vector<std::string>{"a_b", "Y"}));
}

TEST_F(StoreFolder, NamesThatCannotListAsThemselvesAreRefusedBeforeSaving)
{
    const std::string tooLong(WorkspaceStore::maxFileNameBytes, 'x');
    for (const std::string& name : {std::string("\n\u0345"), std::string("two\nlines"), std::string("tab\there"),
                                   std::string("bell\a"), std::string("next\u0085line"), std::string("para\u2029"),
                                   std::string("bad \xff byte"), std::string(" "), std::string(), tooLong}) {
        const auto problem = WorkspaceStore::nameProblem(name);
        EXPECT_TRUE(problem) << name;
        try {
            store.save(minimalWorkspace(name, 1));
            ADD_FAILURE() << "saved " << name;
        } catch (const WorkspaceSaveError& e) {
            EXPECT_EQ(e.what(), problem.value_or(""));
        }
    }
    EXPECT_FALSE(std::filesystem::exists(store.directory) && !files().empty());
    EXPECT_EQ(WorkspaceStore::nameProblem("\n\u0345"), "Names can't contain line breaks or control characters.");
    EXPECT_EQ(WorkspaceStore::nameProblem(tooLong), "The name is too long; choose a shorter one.");
    // Marks, joiners and long names that still fit are fine.
    for (const std::string& name : {std::string("\u0345"), std::string("👩\u200d💻 work"), std::string("Café (v2).b"),
                                   std::string(WorkspaceStore::maxFileNameBytes - 5, 'x')}) {
        EXPECT_EQ(WorkspaceStore::nameProblem(name), std::nullopt) << name;
        EXPECT_NO_THROW(store.save(minimalWorkspace(name, 1))) << name;
    }
    EXPECT_EQ(store.named().size(), 4u);
}

namespace {

rc::Gen<std::string> someName()
{
    return rc::gen::map(rc::gen::container<std::vector<std::string>>(
                            rc::gen::element<std::string>("a", "b", " ", ".", "_", "(", ")", "/", "\u0345", "e\u0301",
                                                          "\u00e9", "-", "auto-", "\n")),
                        [](const std::vector<std::string>& pieces) {
                            std::string s;
                            for (const auto& p : pieces)
                                s += p;
                            return s;
                        });
}

} // namespace

// Saves, copies made beside the store and removals in any order: after each
// step every name that saved and was not removed lists exactly once and
// loads as last saved; a save is refused only for a name problem or a file
// held by another name.
RC_GTEST_PROP(WorkspaceStoreProperties, EveryNameThatSavesListsExactlyOnce, ())
{
    const auto root = std::filesystem::temp_directory_path() / ("kavelo-store-prop-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    const WorkspaceStore store(root / "Layouts");
    std::map<std::string, Workspace> saved;
    const int steps = *rc::gen::inRange(1, 30);
    for (int step = 0; step < steps; ++step) {
        const std::string name = *someName();
        switch (*rc::gen::inRange(0, 4)) {
        case 0:
        case 1: {
            const Workspace w = minimalWorkspace(name, double(step));
            try {
                store.save(w);
                std::erase_if(saved, [&](const auto& entry) {
                    return entry.first != name && store.url(entry.first) == store.url(name);
                });
                saved[name] = w;
            } catch (const WorkspaceSaveError& e) {
                const auto problem = WorkspaceStore::nameProblem(name);
                RC_ASSERT(problem.has_value() || e.existingName.has_value());
                if (e.existingName)
                    RC_ASSERT(saved.count(*e.existingName) == 1u);
            }
            break;
        }
        case 2:
            // A copy of a saved file under another file name, as file managers make.
            if (saved.count(name)) {
                std::error_code ec;
                std::filesystem::copy_file(store.url(name), store.directory / ("Copy " + std::to_string(step) + ".json"),
                                           ec);
            }
            break;
        case 3:
            // A name may share its mapped file with another spelling's.
            store.remove(name);
            std::erase_if(saved, [&](const auto& entry) { return !store.load(entry.first); });
            break;
        }
        std::map<std::string, int> listed;
        for (const Workspace& w : store.named())
            ++listed[w.name];
        for (const auto& [n, count] : listed) {
            RC_ASSERT(count == 1);
            RC_ASSERT(store.load(n).has_value());
        }
        for (const auto& [n, w] : saved) {
            if (WorkspaceStore::isAutoName(n))
                continue;
            RC_ASSERT(listed.count(n) == 1u);
        }
    }
    std::filesystem::remove_all(root);
}

TEST_F(StoreFolder, RemoveTakesTheFileAndNeverFails)
{
    store.remove("Nothing"); // no folder yet
    store.save(minimalWorkspace("A/B", 1));
    store.remove("Nothing");
    EXPECT_EQ(files(), (std::vector<std::string>{"A_B.json"}));
    store.remove("A/B");
    EXPECT_TRUE(files().empty());
    EXPECT_EQ(store.load("A/B"), std::nullopt);
}

TEST(WorkspaceStoreNames, AutomaticNamesHashTheFingerprint)
{
    EXPECT_EQ(WorkspaceStore::autoName(""), "auto-cbf29ce484222325");
    EXPECT_EQ(WorkspaceStore::autoName("a"), "auto-af63dc4c8601ec8c");
    EXPECT_EQ(WorkspaceStore::autoName("foobar"), "auto-85944171f73967e8");
    // The hash of "baa" is 0x0039231913392937: no leading zeros.
    EXPECT_EQ(WorkspaceStore::autoName("baa"), "auto-39231913392937");
    // Bytes above 0x7f are hashed as unsigned values.
    EXPECT_EQ(WorkspaceStore::autoName("\xff"), "auto-af64724c8602eb6e");
}

TEST_F(StoreFolder, AWorkflowWhoseDateCannotBeWrittenBackIsUnreadable)
{
    // These read once, then were written as dates that did not parse, so the
    // workflow vanished from the list after its next save.
    auto withDate = [](const std::string& name, const std::string& date) {
        return R"({"name":")" + name + R"(","displays":"d","windows":[],"savedAt":")" + date + R"("})";
    };
    write("Early.json", withDate("Early", "0000-01-01T00:00:00+01:00"));
    write("Late.json", withDate("Late", "9999-12-31T23:59:59-01:00"));
    write("First.json", withDate("First", "0001-01-01T00:00:00Z"));
    write("Last.json", withDate("Last", "9999-12-31T23:59:59Z"));
    EXPECT_EQ(store.load("Early"), std::nullopt);
    EXPECT_EQ(store.load("Late"), std::nullopt);
    EXPECT_EQ(names(store.named()), (std::vector<std::string>{"Last", "First"}));

    // The years at either end survive a save.
    for (const std::string name : {"First", "Last"}) {
        const std::optional<Workspace> w = store.load(name);
        ASSERT_TRUE(w);
        store.save(*w);
        EXPECT_EQ(store.load(name), w);
    }
    EXPECT_EQ(names(store.named()), (std::vector<std::string>{"Last", "First"}));
    EXPECT_EQ(readFile(store.directory / "Early.json"), withDate("Early", "0000-01-01T00:00:00+01:00"));
}

TEST_F(StoreFolder, DeeplyNestedFilesAreUnreadableNotACrash)
{
    const std::string deep = std::string(100'000, '[') + std::string(100'000, ']');
    write("Deep.json", R"({"name":"Deep","displays":"d","windows":[],"savedAt":"2025-03-04T09:05:00Z","tabs":{"b":)" +
                           deep + "}}");
    store.save(minimalWorkspace("Fine", 1));
    EXPECT_EQ(store.load("Deep"), std::nullopt);
    EXPECT_EQ(names(store.named()), std::vector<std::string>{"Fine"});
}

TEST_F(StoreFolder, ASaveSweepsTemporariesOfKilledWriters)
{
    write("Old.json.tmp-2147483646-3", "half a workflow");
    write("Old.json.tmp-" + std::to_string(::getppid()) + "-1", "being written");
    write("Old.json.tmp-notes", "mine");
    store.save(minimalWorkspace("New", 1));
    EXPECT_EQ(files(), (std::vector<std::string>{"New.json", "Old.json.tmp-" + std::to_string(::getppid()) + "-1",
                                                 "Old.json.tmp-notes"}));
}
