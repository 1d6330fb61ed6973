// The effect object's property interface, driven in-process.
#include "core/CFString.h"
#include "core/DisplayState.h"
#include "core/QrvMurmelo.h"

#include <gtest/gtest.h>

using namespace murmelo;

namespace {

vst2::VstIntPtr VST2_CALLBACK quietHost(vst2::AEffect *, vst2::VstInt32 opcode, vst2::VstInt32, vst2::VstIntPtr, void *,
                                        float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

std::string textFor(QrvMurmelo &fx, int parameter, const float *value, int *status = nullptr) {
    ParameterStringFromValue request{parameter, value, nullptr};
    const int s = fx.getProperty(kPropertyParameterStringFromValue, 0, 0, &request);
    if (status) *status = s;
    if (!request.text) return "<none>";
    std::string text = request.text->c_str();
    request.text->release();
    return text;
}

TEST(Properties, StringFromValueRequests) {
    QrvMurmelo fx(quietHost);
    int status = 1;
    float v = 0.0011f;
    EXPECT_EQ(textFor(fx, kSpeedSuperfine, &v, &status), "<none>");
    EXPECT_EQ(status, kStatusOk);
    v = 0.001001f;
    EXPECT_EQ(textFor(fx, kSpeedSuperfine, &v), "0");
    v = 0.5005f;
    EXPECT_EQ(textFor(fx, kSpeedFine, &v), "0");
    v = 10.02f;
    EXPECT_EQ(textFor(fx, kSpeedCoarse, &v), "<none>");
    v = 3.996f;
    EXPECT_EQ(textFor(fx, kShape, &v), "Square");
    v = 4.4f; // rounds to 4 but is too far from it
    EXPECT_EQ(textFor(fx, kShape, &v), "<none>");
    v = 5.f; // n = 5 lies outside the names
    EXPECT_EQ(textFor(fx, kShape, &v), "<none>");
    v = -0.001f;
    EXPECT_EQ(textFor(fx, kShape, &v), "Sine");
    EXPECT_EQ(textFor(fx, kOscPortOffset, nullptr), "Off"); // current value
    textFor(fx, kFeedback, nullptr, &status);
    EXPECT_EQ(status, kStatusInvalidParameter);
    textFor(fx, 16, nullptr, &status);
    EXPECT_EQ(status, kStatusInvalidParameter);
    EXPECT_EQ(fx.getProperty(12345, 0, 0, &status), kStatusInvalidProperty);
}

TEST(Properties, DisplayStateAndInfo) {
    QrvMurmelo fx(quietHost);
    void *address = nullptr;
    EXPECT_EQ(fx.getProperty(kPropertyDisplayState, 0, 0, &address), kStatusOk);
    EXPECT_EQ(address, fx.getDisplayState());
    EXPECT_EQ(sizeof(DisplayState), 24u);
    unsigned size = 0;
    bool writable = true;
    EXPECT_EQ(fx.getPropertyInfo(kPropertyParameterStringFromValue, 0, 0, &size, &writable), kStatusOk);
    EXPECT_EQ(size, sizeof(ParameterStringFromValue));
    EXPECT_FALSE(writable);
    EXPECT_EQ(fx.getPropertyInfo(kPropertyDisplayState, 0, 0, &size, &writable), kStatusOk);
    EXPECT_EQ(size, sizeof(void *));
    EXPECT_EQ(fx.getPropertyInfo(7, 0, 0, &size, &writable), kStatusInvalidProperty);
    EXPECT_EQ(fx.setProperty(kPropertyDisplayState, 0, 0, &address, sizeof(address)), kStatusInvalidProperty);
    EXPECT_EQ(fx.getValueStrings(0, 15, nullptr), kStatusOk);
    void *list = nullptr;
    EXPECT_EQ(fx.getValueStrings(0, 15, &list), kStatusInvalidParameter);
    EXPECT_EQ(fx.getVersion(), 0x00010100);
}

void listenerA(void *, int) {}
void listenerB(void *, int) {}

TEST(Properties, ListenerArray) {
    QrvMurmelo fx(quietHost);
    int data = 0;
    EXPECT_EQ(fx.addPropertyListener(33, listenerA, &data), kStatusOk);
    EXPECT_GE(fx.getPropertyListeners().capacity(), 32u);
    fx.addPropertyListener(33, listenerB, nullptr);
    fx.addPropertyListener(33, listenerA, nullptr);
    fx.addPropertyListener(64001, listenerA, nullptr);
    EXPECT_EQ(fx.removePropertyListener(33, listenerA), kStatusOk);
    ASSERT_EQ(fx.getPropertyListeners().size(), 2u);
    EXPECT_EQ(fx.getPropertyListeners()[0].procedure, listenerB);
    EXPECT_EQ(fx.getPropertyListeners()[1].property, 64001);
}

TEST(Properties, InternedTexts) {
    CFString *a = CFString::constant("Saw Up");
    EXPECT_EQ(a, CFString::constant("Saw Up"));
    a->release();
    a->release();
    EXPECT_STREQ(CFString::constant("Saw Up")->c_str(), "Saw Up");
    char small[6];
    EXPECT_FALSE(a->copyTo(small, sizeof(small)));
    char fits[7];
    EXPECT_TRUE(a->copyTo(fits, sizeof(fits)));
    EXPECT_STREQ(fits, "Saw Up");
}

} // namespace
