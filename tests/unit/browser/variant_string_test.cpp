// VariantString: what an event handler may take from a URL argument.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "browser/variant_string.h"

namespace {

TEST(VariantString, OnlyAStringVariantGivesText) {
    VARIANT text;
    text.vt = VT_BSTR;
    text.bstrVal = ::SysAllocString(L"http://127.0.0.1:8350/vornak/play?server=1&client=1");
    EXPECT_EQ(L"http://127.0.0.1:8350/vornak/play?server=1&client=1", VariantString(&text));

    VARIANT byRef;
    byRef.vt = VT_BYREF | VT_BSTR;
    byRef.pbstrVal = &text.bstrVal;
    EXPECT_EQ(L"", VariantString(&byRef));
    ::VariantClear(&text);

    VARIANT number;
    number.vt = VT_I4;
    number.lVal = 0x00410041;  // would read as "AA" if taken for a string
    EXPECT_EQ(L"", VariantString(&number));

    VARIANT empty;
    ::VariantInit(&empty);
    EXPECT_EQ(L"", VariantString(&empty));
    EXPECT_EQ(L"", VariantString(nullptr));
}

TEST(VariantString, TextEndsAtTheFirstNulAndANullStringIsEmpty) {
    VARIANT text;
    text.vt = VT_BSTR;
    text.bstrVal = ::SysAllocStringLen(L"登录\0hidden", 9);
    EXPECT_EQ(L"登录", VariantString(&text));
    ::VariantClear(&text);

    VARIANT null;
    null.vt = VT_BSTR;
    null.bstrVal = nullptr;
    EXPECT_EQ(L"", VariantString(&null));
}

}  // namespace
