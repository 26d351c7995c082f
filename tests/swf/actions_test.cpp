#include <gtest/gtest.h>

#include "swf/actions.h"
#include "tests/swf/swf_test_util.h"

namespace {

std::string Written(FlashAction& a)
{
    FlashOutputStream out;
    a.Write(out);
    return Hex(out);
}

// Writes the action, reads it back as the class for its code, writes that again.
std::string Rewritten(FlashAction& a)
{
    FlashOutputStream out;
    a.Write(out);
    FlashInputStream in(out.Bytes());
    auto back = CreateFlashAction(in.PeekU8());
    back->Read(in);
    EXPECT_FALSE(in.Failed());
    EXPECT_TRUE(in.AtEnd());
    FlashOutputStream again;
    back->Write(again);
    return Hex(again);
}

}  // namespace

TEST(SwfActions, PayloadLayouts)
{
    FlashActionGotoFrame gotoFrame(0x0102);
    FlashActionGetURL getUrl("a", "");
    FlashActionWaitForFrame2 wait2(5);
    FlashActionWaitForFrame wait(7, 3);
    FlashActionInitObject initObject;
    FlashActionPlay play;
    FlashActionCallFrame callFrame;
    FlashActionStoreRegister store(2);
    FlashActionConstantPool pool({"x", "yz"});
    FlashActionSetTarget target("t");
    FlashActionGotoLabel label("L");
    const uint8_t pushed[] = {1, 2, 3};
    FlashActionPush push(7, pushed, 3);
    FlashActionJump jump(-2);
    FlashActionIf branch(10);
    FlashActionGetURL2 url2(0x40);
    FlashActionGotoFrame2 goto2(1);
    struct Case { FlashAction* a; std::string hex; } cases[] = {
        {&gotoFrame, "81 02 00 02 01"},
        {&getUrl, "83 03 00 61 00 00"},
        {&wait2, "8D 01 00 05"},
        {&wait, "8A 03 00 07 00 03"},
        {&initObject, "43"},
        {&play, "06"},
        {&callFrame, "9E 00 00"},
        {&store, "87 01 00 02"},
        {&pool, "88 07 00 02 00 78 00 79 7A 00"},
        {&target, "8B 02 00 74 00"},
        {&label, "8C 02 00 4C 00"},
        {&push, "96 04 00 07 01 02 03"},
        {&jump, "99 02 00 FE FF"},
        {&branch, "9D 02 00 0A 00"},
        {&url2, "9A 01 00 40"},
        {&goto2, "9F 01 00 01"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Written(*c.a), c.hex);
        EXPECT_EQ(Rewritten(*c.a), c.hex);
    }
}

TEST(SwfActions, EveryCodeReadsAsItsOwnClass)
{
    // Every code of version 5 without payload writes as the code byte alone.
    for (int code = 1; code < 0x80; ++code) {
        auto a = CreateFlashAction(uint8_t(code));
        EXPECT_EQ(a->GetActionCode(), code);
        EXPECT_EQ(Written(*a), Hex(std::vector<uint8_t>{uint8_t(code)}));
    }
    EXPECT_NE(dynamic_cast<FlashActionBitURShift*>(CreateFlashAction(0x65).get()), nullptr);
    EXPECT_NE(dynamic_cast<FlashActionDefineFunction*>(CreateFlashAction(0x9B).get()), nullptr);
}

TEST(SwfActions, UnknownCodesKeepTheirBytes)
{
    const uint8_t data[] = {0x70, 0xA0, 0x04, 0x00, 9, 8, 7, 6};
    FlashInputStream in(data, sizeof data);
    auto first = CreateFlashAction(in.PeekU8());
    first->Read(in);
    EXPECT_EQ(first->GetActionLength(), 0);
    auto second = CreateFlashAction(in.PeekU8());
    second->Read(in);
    EXPECT_EQ(second->GetActionCode(), 0xA0);
    EXPECT_EQ(second->GetActionLength(), 4);
    FlashOutputStream out;
    first->Write(out);
    second->Write(out);
    EXPECT_EQ(out.Bytes(), std::vector<uint8_t>(data, data + sizeof data));

    // A payload length beyond the data fails cleanly.
    const uint8_t cut[] = {0xA0, 0x10, 0x00, 1};
    FlashInputStream shortIn(cut, sizeof cut);
    FlashAction a;
    a.Read(shortIn);
    EXPECT_TRUE(shortIn.Failed());
}

TEST(SwfActions, FunctionsAndWithCarryTheirBodies)
{
    FlashActionDefineFunction f({"add", "a", "b"});
    FlashActionPop pop;
    FlashActionGotoFrame g(3);
    f.AddAction(&pop);
    f.AddAction(&g);
    // name, count, parameters, body size; then the body the length does not cover
    EXPECT_EQ(Written(f), "9B 0C 00 61 64 64 00 02 00 61 00 62 00 06 00 17 81 02 00 03 00");
    EXPECT_EQ(Rewritten(f), Written(f));

    FlashActionWith with;
    FlashActionStop stop;
    with.AddAction(&stop);
    EXPECT_EQ(Written(with), "94 02 00 01 00 07");
    EXPECT_EQ(Rewritten(with), Written(with));

    FlashOutputStream out;
    f.Write(out);
    FlashInputStream in(out.Bytes());
    FlashActionDefineFunction back;
    back.Read(in);
    EXPECT_EQ(back.GetName(), "add");
    EXPECT_EQ(back.GetParameters(), (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(back.GetActions().size(), 2u);
    EXPECT_EQ(back.GetActions()[1]->GetActionCode(), 0x81);
}

TEST(SwfActions, DoActionAndListReaders)
{
    FlashTagDoAction empty;
    FlashOutputStream e;
    empty.Write(e);
    EXPECT_EQ(Hex(e), "01 03 00");

    // The start action of a written movie: GotoFrame and Play in a 7-byte body.
    FlashActionGotoFrame g(1);
    FlashActionPlay p;
    FlashTagDoAction start;
    start.AddAction(&g);
    start.AddAction(&p);
    FlashOutputStream out;
    start.Write(out);
    EXPECT_EQ(Hex(out), "07 03 81 02 00 01 00 06 00");
    FlashTagDoAction back;
    ReadBack(out, 12, back);
    ASSERT_EQ(back.GetActions().size(), 2u);
    EXPECT_EQ(back.GetActions()[0]->GetActionCode(), 0x81);
    EXPECT_EQ(static_cast<FlashActionGotoFrame*>(back.GetActions()[0])->GetFrame(), 1);

    const uint8_t two[] = {0x06, 0x07, 0x06};
    FlashInputStream in(two, sizeof two);
    std::vector<FlashAction*> list;
    std::vector<std::unique_ptr<FlashAction>> owned;
    ReadActionCount(in, list, owned, 2);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(in.Tell(), 2u);
    // Without its end byte a list fails once the data runs out.
    ReadActionList(in, list, owned);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_TRUE(in.Failed());
}

namespace {

// Actions nested depth deep in with-blocks (5 bytes a level), as an action list.
std::vector<uint8_t> NestedWith(int depth)
{
    std::vector<uint8_t> bytes;
    for (int level = 0; level < depth; ++level) {
        const std::size_t body = bytes.size();
        bytes.insert(bytes.begin(), {0x94, 0x02, 0x00, uint8_t(body), uint8_t(body >> 8)});
    }
    bytes.push_back(0);
    return bytes;
}

}  // namespace

TEST(SwfActions, NestingPastTheLimitFailsTheRead)
{
    const struct {
        int depth;
        bool fails;
    } cases[] = {{kMaxActionNesting, false}, {kMaxActionNesting + 1, true}, {13000, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.depth);
        const std::vector<uint8_t> bytes = NestedWith(c.depth);
        FlashInputStream in(bytes);
        FlashTagDoAction tag;
        tag.SetTagLength(uint32_t(bytes.size()));
        tag.Read(in);
        EXPECT_EQ(in.Failed(), c.fails);
        if (!c.fails) {
            EXPECT_TRUE(in.AtEnd());
        }
    }
}

TEST(SwfActions, PayloadsPastSixtyFourKilobytesAreNotWritten)
{
    const std::string fits(65533, 'u'), tooLong(65534, 'u');
    FlashActionGetURL ok(fits, ""), cut(tooLong, "");
    FlashOutputStream good;
    ok.Write(good);
    EXPECT_FALSE(good.Failed());
    EXPECT_EQ(good.Size(), 3u + 65535u);

    FlashActionStop stop;
    FlashTagDoAction tag;
    tag.AddAction(&stop);
    tag.AddAction(&cut);
    FlashOutputStream bad;
    tag.Write(bad);
    EXPECT_TRUE(bad.Failed());
    EXPECT_EQ(bad.Size(), 0u);

    // A function whose body passes its 16-bit size fails the same way.
    FlashActionDefineFunction f({"f"});
    FlashActionGetURL half(std::string(40000, 'h'), "");
    f.AddAction(&half);
    f.AddAction(&half);
    FlashOutputStream body;
    f.Write(body);
    EXPECT_TRUE(body.Failed());
}
