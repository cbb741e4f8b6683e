// Building trees from descriptions and laying them out.
#include "TestRoot.h"

#include <gtest/gtest.h>

using namespace PlenvoTest;

namespace {

std::shared_ptr<CViewElement> Build(const char* json) {
    return CreateViewElement(Json::parse(json));
}

// A class of a later layer, as those register themselves.
class CountingElement : public CViewElement {
public:
    using CViewElement::CViewElement;
    bool ReadProperties() override {
        const std::string* fail = StringMember(description_, "fail");
        return CViewElement::ReadProperties() && !fail;
    }
};

} // namespace

TEST(Factory, UnknownAndDifferentlyCasedTypesGivePlainElements) {
    RegisterElementType<CountingElement>("label");
    auto plain = Build(R"({"name":"a"})");
    auto capital = Build(R"({"type":"Label"})");
    auto registered = Build(R"({"type":"label"})");
    UnregisterElementType("label");
    ASSERT_TRUE(plain && capital && registered);
    EXPECT_EQ(typeid(*plain), typeid(CViewElement));
    EXPECT_EQ(typeid(*capital), typeid(CViewElement));
    EXPECT_EQ(typeid(*registered), typeid(CountingElement));
    EXPECT_EQ(plain->GetName(), "a");
}

TEST(Factory, AChildWhoseReadingFailsIsLeftOut) {
    RegisterElementType<CountingElement>("counting");
    auto parent = Build(R"({"elements":[{"name":"x"},{"type":"counting","fail":"1"},
                                         {"name":"y"}, 5, "text"]})");
    UnregisterElementType("counting");
    ASSERT_EQ(parent->GetChildren().size(), 2u);
    EXPECT_EQ(parent->GetChildren()[1]->GetName(), "y");
}

TEST(Factory, MembersOfTheWrongTypeCountAsAbsent) {
    auto e = Build(R"({"name":5,"bkgnd":7,"layout":true,"align":"CENTER","valign":"bottom",
                       "padding":"1,2,3,4","cursor":"Hand","blockmousemsg":1,"gridline":"w:1",
                       "layer":2.9,"tooltip":"tip","width":"auto"})");
    EXPECT_EQ(e->GetName(), "");
    EXPECT_EQ(e->GetBackground(), 0x00FFFFFFu);
    EXPECT_TRUE(e->IsHorizontal());
    EXPECT_EQ(e->GetAlign(), 0);
    EXPECT_EQ(e->GetVAlign(), 2);
    EXPECT_EQ(e->GetPadding(), (Padding{4, 1, 2, 3}));
    EXPECT_EQ(e->GetCursor(), Cursor::Arrow);
    EXPECT_FALSE(e->BlocksMouse());
    EXPECT_EQ(e->GetGridPen(), nullptr);
    EXPECT_EQ(e->GetLayer(), 2);
    EXPECT_EQ(e->GetTooltip(), "tip");
    EXPECT_EQ(e->GetWidthValue().kind, SizeKind::Unset);
}

// Elements nested `levels` deep, built without copies (a copy of such a value would recurse).
Json NestedDescription(int levels) {
    Json d = Json::object();
    for (int i = 0; i < levels; ++i) {
        Json next = Json::object();
        next["elements"] = Json::array();
        next["elements"].push_back(std::move(d));
        d = std::move(next);
    }
    return d;
}

TEST(Factory, DeeplyNestedDescriptionsStopAtAFixedDepth) {
    auto root = CreateViewElement(NestedDescription(5000));
    ASSERT_TRUE(root);
    int depth = 0;
    for (auto e = root; !e->GetChildren().empty(); e = e->GetChildren()[0]) {
        ++depth;
    }
    EXPECT_LT(depth, 200);
    EXPECT_GT(depth, 50);
}

TEST(Layers, ChildrenCountUpFromTheirParentUnlessPinned) {
    auto e = Build(R"({"layer":3,"elements":[
        {"name":"a","elements":[{"name":"a1"}]},
        {"name":"b","layer":100,"elements":[{"name":"b1"}]},
        {"name":"c","layer":0},
        {"name":"d","layer":"7"}]})");
    EXPECT_EQ(e->FindByName("a")->GetLayer(), 4);
    EXPECT_EQ(e->FindByName("a1")->GetLayer(), 5);
    EXPECT_EQ(e->FindByName("b")->GetLayer(), 100);
    EXPECT_EQ(e->FindByName("b1")->GetLayer(), 101);
    EXPECT_EQ(e->FindByName("c")->GetLayer(), 4);
    EXPECT_EQ(e->FindByName("d")->GetLayer(), 4);
}

TEST(Tree, FindByNameSearchesDescendantsBeforeTheirAncestorAndEarlierChildrenFirst) {
    auto e = Build(R"({"name":"n","elements":[
        {"name":"first","elements":[{"name":"n","tooltip":"deep"}]},
        {"name":"n","tooltip":"second"}]})");
    EXPECT_EQ(e->FindByName("n")->GetTooltip(), "deep");
    EXPECT_EQ(e->FindByName("first")->GetName(), "first");
    EXPECT_EQ(e->FindByName("missing"), nullptr);
    auto lone = Build(R"({"name":"n"})");
    EXPECT_EQ(lone->FindByName("n"), lone);
}

TEST(Tree, ClearChildrenDetachesTheWholeSubtree) {
    auto e = Build(R"({"elements":[{"name":"a","elements":[{"name":"b"}]}]})");
    auto a = e->FindByName("a");
    auto b = e->FindByName("b");
    e->ClearChildren();
    EXPECT_TRUE(e->GetChildren().empty());
    EXPECT_TRUE(a->GetChildren().empty());
    EXPECT_EQ(a->GetParent(), nullptr);
    EXPECT_EQ(b->GetParent(), nullptr);
    EXPECT_EQ(a->GetRoot(), a.get());
}

TEST(Tree, SetDescriptionRebuildsTheChildren) {
    auto e = Build(R"({"elements":[{"name":"a"}]})");
    auto a = e->FindByName("a");
    e->SetDescription(Json::parse(R"({"name":"new","elements":[{"name":"b"},{"name":"c"}]})"));
    EXPECT_EQ(e->GetName(), "new");
    EXPECT_EQ(e->GetChildren().size(), 2u);
    EXPECT_EQ(e->FindByName("a"), nullptr);
    EXPECT_EQ(a->GetParent(), nullptr);
}

TEST(Tree, AddChildRequestsLayoutAndMarksTheParentForRepaint) {
    auto root = TestRoot::Make(R"({"elements":[{"name":"box","width":20,"height":10}]})");
    root->LayoutAll(100, 100);
    const int before = root->layoutRequests;
    auto box = root->FindByName("box");
    box->AddChild(CreateViewElement(Json::parse(R"({"width":5,"height":5})")));
    EXPECT_EQ(root->layoutRequests, before + 1);
    EXPECT_EQ(box->GetPendingRepaint(), (gfx::RectF{0, 0, 20, 10}));
    const gfx::RectF area = root->LayoutAll(100, 100);
    EXPECT_TRUE(box->GetPendingRepaint().IsZero());
    EXPECT_LE(area.x, 0);
    EXPECT_GE(area.width, 20);
}

TEST(LayoutSizes, NumbersPercentagesAndNegativeNumbers) {
    auto root = TestRoot::Make(R"({"layout":"vertical","elements":[
        {"name":"full","width":"100%","height":10},
        {"name":"less","width":-10,"height":10},
        {"name":"auto","width":"auto","height":"25%","elements":[{"width":30,"height":5}]}]})");
    root->LayoutAll(200, 100);
    EXPECT_DOUBLE_EQ(root->FindByName("full")->GetSize().width, 200);
    EXPECT_DOUBLE_EQ(root->FindByName("less")->GetSize().width, 190);
    // The third child is offered what is left: 80 mm of height.
    EXPECT_DOUBLE_EQ(root->FindByName("auto")->GetSize().height, 20);
    EXPECT_DOUBLE_EQ(root->FindByName("auto")->GetSize().width, 30);
}

TEST(LayoutFlow, VerticalChildrenStackAndTheRestIsOffered) {
    auto root = TestRoot::Make(R"({"elements":[{"name":"col","layout":"vertical","height":100,
        "width":50,"elements":[{"name":"a","height":30},{"name":"b","height":50},
        {"name":"c","height":"100%"}]}]})");
    root->LayoutAll(300, 300);
    EXPECT_DOUBLE_EQ(root->FindByName("a")->GetPosition().y, 0);
    EXPECT_DOUBLE_EQ(root->FindByName("b")->GetPosition().y, 30);
    EXPECT_DOUBLE_EQ(root->FindByName("c")->GetPosition().y, 80);
    EXPECT_DOUBLE_EQ(root->FindByName("c")->GetSpace().height, 20);
    EXPECT_DOUBLE_EQ(root->FindByName("c")->GetSize().height, 20);
}

TEST(LayoutFlow, AParentGrowsToItsChildrenButNotTheOtherWay) {
    auto root = TestRoot::Make(R"({"elements":[{"name":"row","width":10,"height":5,"elements":[
        {"name":"a","width":8,"height":4},{"name":"b","width":8,"height":9}]}]})");
    root->LayoutAll(300, 300);
    const auto row = root->FindByName("row");
    EXPECT_DOUBLE_EQ(row->GetSize().width, 16);
    EXPECT_DOUBLE_EQ(row->GetSize().height, 9);
    EXPECT_DOUBLE_EQ(root->FindByName("b")->GetPosition().x, 8);
    // The second child was offered what the first left: 2 mm, and overflowed it.
    EXPECT_DOUBLE_EQ(root->FindByName("b")->GetSpace().width, 2);
}

TEST(LayoutFlow, AnUnsetSizeKeepsTheLargestItEverHad) {
    auto root = TestRoot::Make(R"({"elements":[{"name":"box","elements":[
        {"name":"child","width":40,"height":30}]}]})");
    root->LayoutAll(300, 300);
    const auto box = root->FindByName("box");
    EXPECT_EQ(box->GetSize(), (gfx::SizeF{40, 30}));
    root->FindByName("child")->SetDescription(
        Json::parse(R"({"name":"child","width":10,"height":5})"));
    root->LayoutAll(300, 300);
    EXPECT_EQ(box->GetSize(), (gfx::SizeF{40, 30}));
}

TEST(LayoutAlignment, CenterAndFarAlignmentOnlyWhenThereIsRoom) {
    auto root = TestRoot::Make(R"({"layout":"vertical","elements":[
        {"name":"c","width":20,"height":10,"align":"center","valign":"center"},
        {"name":"r","width":20,"height":10,"align":"right","valign":"bottom"},
        {"name":"wide","width":300,"height":10,"align":"center"}]})");
    root->LayoutAll(100, 100);
    EXPECT_EQ(root->FindByName("c")->GetPosition(), (gfx::PointF{40, 45}));
    // Offered 100 x 90 at y = 10 (the first child used 10 mm): 80 across, 80 + 10 down.
    EXPECT_EQ(root->FindByName("r")->GetPosition(), (gfx::PointF{80, 90}));
    EXPECT_EQ(root->FindByName("wide")->GetPosition(), (gfx::PointF{0, 20}));
}

TEST(LayoutContent, PaddingShrinksTheContentRectangle) {
    auto root = TestRoot::Make(R"({"elements":[{"name":"p","width":40,"height":20,
        "padding":"1,2,3,4"}]})");
    root->LayoutAll(100, 100);
    EXPECT_EQ(root->FindByName("p")->GetContentRect(), (gfx::RectF{4, 1, 34, 16}));
}

TEST(LayoutRepaint, AMoveReportsTheOldAndTheNewPlace) {
    auto root = TestRoot::Make(R"({"elements":[{"name":"gap","width":10,"height":10},
        {"name":"box","width":20,"height":10}]})");
    root->LayoutAll(100, 100);
    root->FindByName("gap")->SetDescription(
        Json::parse(R"({"name":"gap","width":30,"height":10})"));
    gfx::RectF area;
    gfx::SizeF size;
    const auto box = root->FindByName("box");
    box->SetSpace({70, 100});
    box->Layout(area, {30, 0}, size, false);
    // Old place 10..30, new place 30..50.
    EXPECT_EQ(area, (gfx::RectF{10, 0, 20, 10}));
    // A second pass at the same place has nothing to report beyond a zero area.
    box->Layout(area, {30, 0}, size, false);
    EXPECT_EQ(area, (gfx::RectF{30, 0, 0, 0}));
}

TEST(LayoutRepaint, AGrowingElementReportsItsLargerSize) {
    auto root = TestRoot::Make(R"({"elements":[{"name":"box","width":"50%","height":10}]})");
    root->LayoutAll(100, 100);
    const auto box = root->FindByName("box");
    gfx::RectF area;
    gfx::SizeF size;
    box->SetSpace({200, 100});
    box->Layout(area, {0, 0}, size, false);
    EXPECT_EQ(area, (gfx::RectF{0, 0, 100, 10}));
    EXPECT_EQ(size, (gfx::SizeF{100, 10}));
}

TEST(LayoutRegistration, EveryLaidOutElementIsRegisteredUnderItsLayer) {
    auto root = TestRoot::Make(R"({"elements":[{"name":"a","elements":[{"name":"b"}]},
        {"name":"c","layer":9}]})");
    root->LayoutAll(100, 100);
    const auto& layers = root->GetLayers();
    ASSERT_EQ(layers.size(), 4u); // the root's 0, then 1, 2 and 9
    EXPECT_EQ(layers.at(1).size(), 1u);
    EXPECT_EQ(layers.at(2).at(0).lock(), root->FindByName("b"));
    EXPECT_EQ(layers.at(9).at(0).lock(), root->FindByName("c"));
    // Laying out again does not register twice.
    root->LayoutAll(100, 100);
    EXPECT_EQ(root->GetLayers().at(1).size(), 1u);
}

TEST(Factory, ADescriptionNestedThousandsDeepIsCutBeforeItIsCopied) {
    // Handed over without a copy, as a parsed template is.
    auto deep = [] { return NestedDescription(100000); };
    auto root = CreateViewElement(deep());
    ASSERT_TRUE(root);
    EXPECT_FALSE(root->GetChildren().empty());
    auto other = CreateViewElement(Json::object());
    other->SetDescription(deep());
    EXPECT_FALSE(other->GetChildren().empty());
}
