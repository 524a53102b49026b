// The owning wrappers and the readings of results: texts, numbers, truth values,
// string arrays, objects, and the descriptions of failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cad/com/ComSupport.h"

using namespace vx::cad;
using namespace vx::cad::com;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

// The description of the ComError that `f` throws, or "" when it throws none.
template <class F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const ComError& e) {
        return e.Description();
    }
    return {};
}

Variant ArrayVariant(SafeArray array, VARTYPE elements) {
    Variant v;
    v.Get()->vt = static_cast<VARTYPE>(VT_ARRAY | elements);
    v.Get()->parray = array.Detach();
    return v;
}

TEST(ComText, SurvivesTheTripThroughBstrUnchanged) {
    for (const std::string& text :
         {std::string(), std::string("Grundriß Ebene ±0,00 – 東京 😀"), std::string("a\0b", 3)}) {
        Bstr b(text);
        ASSERT_NE(b.Get(), nullptr) << "an empty text is an empty BSTR, not a null one";
        EXPECT_EQ(TextOf(*Variant::Text(text).Get(), "text"), text);
    }
}

TEST(ComNumbers, AcceptWholeNumbersAndRejectTheRest) {
    EXPECT_EQ(Int32Of(*Variant::Int16(-3).Get(), "v"), -3);
    Variant v;
    v.Get()->vt = VT_R8;
    v.Get()->dblVal = 2.0;
    EXPECT_EQ(Int32Of(*v.Get(), "v"), 2);
    v.Get()->dblVal = 1.5;
    EXPECT_EQ(ErrorOf([&] { Int32Of(*v.Get(), "System variable LTSCALE"); }),
              "System variable LTSCALE is 1.5, not a whole number");
    EXPECT_EQ(ErrorOf([&] { Int32Of(*Variant::Text("24.1s").Get(), "System variable ACADVER"); }),
              "System variable ACADVER is the text \"24.1s\", not a number");
    EXPECT_TRUE(BoolOf(*Variant::Int32(-1).Get(), "IsXRef"));
    EXPECT_THAT(ErrorOf([] { BoolOf(*Variant::Text("True").Get(), "Block.IsXRef"); }),
                HasSubstr("Block.IsXRef is not a truth value"));
}

TEST(ComTextArrays, ComeOutInIndexOrderWhateverTheirBoundsOrElementType) {
    const Strings names{"None", "Zeichnungsdrucker ü"};
    EXPECT_EQ(TextsOf(*ArrayVariant(SafeArray::OfTexts(names, 1), VT_BSTR).Get(), "a"), names);
    EXPECT_THAT(TextsOf(*Variant().Get(), "a"), IsEmpty());

    SafeArray variants = SafeArray::Attach(SafeArrayCreateVector(VT_VARIANT, 0, 2));
    for (LONG i = 0; i < 2; ++i) {
        Variant element = Variant::Text(names[static_cast<std::size_t>(i)]);
        ASSERT_EQ(SafeArrayPutElement(variants.Get(), &i, element.Get()), S_OK);
    }
    EXPECT_EQ(TextsOf(*ArrayVariant(std::move(variants), VT_VARIANT).Get(), "a"), names);
}

TEST(ComTextArrays, RefuseWhatIsNoListOfTexts) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    SafeArray square = SafeArray::Attach(SafeArrayCreate(VT_BSTR, 2, bounds));
    EXPECT_THAT(ErrorOf([&] { TextsOf(*ArrayVariant(std::move(square), VT_BSTR).Get(), "Media"); }),
                HasSubstr("Media is not a list: the array has 2 dimensions"));
    // An array whose declared element type disagrees with its layout is not read.
    SafeArray longs = SafeArray::Attach(SafeArrayCreateVector(VT_I4, 0, 3));
    EXPECT_THAT(ErrorOf([&] { TextsOf(*ArrayVariant(std::move(longs), VT_BSTR).Get(), "Media"); }),
                HasSubstr("not an array of texts"));
}

TEST(ComResults, AreDescribedBySystemTextAndNumber) {
    EXPECT_EQ(
        ErrorOf([] { ObjectOf(*Variant::Object(nullptr).Get(), "Application.ActiveDocument"); }),
        "Application.ActiveDocument gave no object");
    // The system's text in one line without its closing full stop, then the number.
    const std::string missing = DescribeResult(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_THAT(missing, ::testing::EndsWith(" (0x80070002)"));
    EXPECT_GT(missing.size(), std::string(" (0x80070002)").size());
    EXPECT_THAT(missing, ::testing::Not(HasSubstr(". (")));
    EXPECT_THAT(missing, ::testing::Not(HasSubstr("\n")));
    EXPECT_EQ(DescribeResult(static_cast<HRESULT>(0xA0F1E2D3)), "Automation error 0xA0F1E2D3");
}

}  // namespace
