// DISPPARAMS built from InvokeHelper's parameter descriptions.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cstdarg>

#include "browser/external_dispatch.h"
#include "framework/occ_dispatch_arguments.h"

namespace {

bool Build(fw::DispatchArguments& arguments, const BYTE* paramInfo, ...) {
    va_list args;
    va_start(args, paramInfo);
    const bool built = arguments.Build(paramInfo, args);
    va_end(args);
    return built;
}

TEST(DispatchArguments, NavigateArgumentsArriveLastFirst) {
    static const BYTE navigate[] = {fw::VTS_BSTR, fw::VTS_PVARIANT, fw::VTS_PVARIANT, fw::VTS_PVARIANT,
                                    fw::VTS_PVARIANT, 0};
    VARIANT flags, frame, post, headers;
    fw::DispatchArguments arguments;
    ASSERT_TRUE(Build(arguments, navigate, L"http://127.0.0.1/vornak", &flags, &frame, &post, &headers));
    const DISPPARAMS* params = arguments.Params();
    ASSERT_EQ(5u, params->cArgs);
    EXPECT_EQ(0u, params->cNamedArgs);
    ASSERT_EQ(VT_BSTR, params->rgvarg[4].vt);
    EXPECT_STREQ(L"http://127.0.0.1/vornak", params->rgvarg[4].bstrVal);
    EXPECT_EQ(23u, ::SysStringLen(params->rgvarg[4].bstrVal));
    VARIANT* const expected[] = {&headers, &post, &frame, &flags};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(VT_BYREF | VT_VARIANT, params->rgvarg[i].vt);
        EXPECT_EQ(expected[i], params->rgvarg[i].pvarVal);
    }
}

TEST(DispatchArguments, DispatchPassesThroughAndBoolsAreWrittenBack) {
    static const BYTE info[] = {fw::VTS_DISPATCH, fw::VTS_PBOOL, fw::VTS_PBOOL, 0};
    CImpIDispatch target;
    BOOL set = FALSE;
    BOOL cleared = TRUE;
    {
        fw::DispatchArguments arguments;
        ASSERT_TRUE(Build(arguments, info, static_cast<IDispatch*>(&target), &set, &cleared));
        DISPPARAMS* params = arguments.Params();
        ASSERT_EQ(3u, params->cArgs);
        EXPECT_EQ(VT_DISPATCH, params->rgvarg[2].vt);
        EXPECT_EQ(static_cast<IDispatch*>(&target), params->rgvarg[2].pdispVal);
        ASSERT_EQ(VT_BYREF | VT_BOOL, params->rgvarg[1].vt);
        ASSERT_EQ(VT_BYREF | VT_BOOL, params->rgvarg[0].vt);
        EXPECT_EQ(VARIANT_FALSE, *params->rgvarg[1].pboolVal);
        EXPECT_EQ(VARIANT_TRUE, *params->rgvarg[0].pboolVal);
        *params->rgvarg[1].pboolVal = VARIANT_TRUE;
        *params->rgvarg[0].pboolVal = VARIANT_FALSE;
        EXPECT_FALSE(set);
    }
    EXPECT_EQ(TRUE, set);
    EXPECT_EQ(FALSE, cleared);
    EXPECT_EQ(0, target.m_cRef);
}

TEST(DispatchArguments, NoDescriptionMeansNoArgumentsAndUnknownTypesAreRefused) {
    fw::DispatchArguments none;
    ASSERT_TRUE(Build(none, nullptr));
    EXPECT_EQ(0u, none.Params()->cArgs);
    EXPECT_EQ(nullptr, none.Params()->rgvarg);

    static const BYTE withInteger[] = {fw::VTS_BSTR, 0x03, 0};
    fw::DispatchArguments refused;
    EXPECT_FALSE(Build(refused, withInteger, L"x", 5));
    EXPECT_EQ(0u, refused.Params()->cArgs);
}

}  // namespace
