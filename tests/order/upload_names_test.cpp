// Upload names and the reduction to the printer's resolution.

#include "order/price_list.h"
#include "order/upload_names.h"
#include "photos/thumb_data.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

struct NameCase {
    const char* name;
    QStringList displayNames;
    QStringList expected;
    bool reencodeLast;
    QString forbidden = DefaultForbiddenChars();
};

class UploadNames : public testing::TestWithParam<NameCase> {};

TEST_P(UploadNames, FollowTheRules)
{
    TUploadNames names(GetParam().forbidden);
    QStringList made;
    bool reencode = false;
    for (const QString& display : GetParam().displayNames) {
        reencode = false;
        made << names.Make(display, reencode);
    }
    EXPECT_EQ(made, GetParam().expected);
    EXPECT_EQ(reencode, GetParam().reencodeLast);
}

const QString k60 = QString(60, u'a');

INSTANTIATE_TEST_SUITE_P(
    Cases, UploadNames,
    testing::Values(
        NameCase{"RepeatedNamesAreNumbered", {"DSC_1.JPG", "DSC_1.JPG", "DSC_1.JPG"},
                 {"dsc_1.jpg", "dsc_1(1).jpg", "dsc_1(2).jpg"}, false},
        NameCase{"OtherExtensionsBecomeJpg", {"scan.TIF", "photo.jpeg", "plain"}, {"scan.jpg", "photo.jpg", "plain.jpg"},
                 true},
        NameCase{"LongNameCutForJpg", {k60 + ".jpg"}, {QString(46, u'a') + ".jpg"}, false},
        NameCase{"LongNameCutForJpeg", {k60 + ".jpeg"}, {QString(45, u'a') + ".jpg"}, true},
        NameCase{"DefaultForbiddenCharacters", {"a,b'c\"dł.jpg"}, {"a_b_c_d_.jpg"}, false},
        NameCase{"FixedCharactersAlwaysReplaced", {"a&b!c@d#e$f%g^h+i=j<k>l?m.jpg"}, {"a_b_c_d_e_f_g_h_i_j_k_l_m.jpg"},
                 false},
        NameCase{"ServerForbiddenListReplacesDefault", {"xół,.jpg"}, {"_ół,.jpg"}, false, "x"},
        // A photo really called like a numbered name must not share its file.
        NameCase{"NumberedNameAlreadyTaken", {"a(1).jpg", "a.jpg", "a.jpg", "a.jpg"},
                 {"a(1).jpg", "a.jpg", "a(2).jpg", "a(3).jpg"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MachineResolution, FromDpiWithDefault)
{
    EXPECT_FLOAT_EQ(MachineResolution(QString()), 11.811024f);
    EXPECT_FLOAT_EQ(MachineResolution("garbage"), 11.811024f);
    EXPECT_FLOAT_EQ(MachineResolution("254"), float(254 * 0.03937008));
}

// A photo item with a known picture size, so no file is read.
class SizedPhoto : public TThumbData {
public:
    SizedPhoto(int w, int h)
    {
        Width = w;
        Height = h;
        Loaded = true;
    }
};

struct ScaleCase {
    const char* name;
    int w, h;       // picture
    int fw, fh;     // format, mm
    TRect crop;     // empty: default crop
    bool compress;
    TRect expectedCrop;
    double expectedFactor;
};

class Resolution : public testing::TestWithParam<ScaleCase> {};

TEST_P(Resolution, DefaultCropAndFactor)
{
    const ScaleCase& c = GetParam();
    TPriceList prices;
    _format format;
    format.width = c.fw;
    format.height = c.fh;
    prices.Add(format);
    SizedPhoto photo(c.w, c.h);
    photo.SetQuantity(0, 1);
    photo.GetFormatInfo(0)->CropRect = c.crop;
    bool reencode = false;
    const double factor = ScaleForResolution(photo, prices, 11.811024f, c.compress, reencode);
    EXPECT_NEAR(factor, c.expectedFactor, 1e-4);
    EXPECT_EQ(reencode, c.expectedFactor < 1);
    EXPECT_EQ(photo.GetFormatInfo(0)->CropRect, c.expectedCrop);
    EXPECT_FALSE(photo.GetFormatInfo(0)->HasCropRect);
}

constexpr double kLandscapeFactor = 11.811024 / (3999.0 / 150.0);

INSTANTIATE_TEST_SUITE_P(
    Cases, Resolution,
    testing::Values(
        ScaleCase{"LandscapeDefaultCropNoCompress", 4000, 3000, 100, 150, {}, false, {0, 167, 3999, 2833}, 1.0},
        ScaleCase{"LandscapeReduced", 4000, 3000, 100, 150, {}, true,
                  {0, int(167 * float(kLandscapeFactor)), int(3999 * float(kLandscapeFactor)),
                   int(2833 * float(kLandscapeFactor))},
                  kLandscapeFactor},
        ScaleCase{"PortraitDefaultCrop", 3000, 4000, 150, 100, {}, false, {167, 0, 2833, 3999}, 1.0},
        ScaleCase{"TooFewPixelsLeftAlone", 800, 600, 100, 150, {}, true, {0, 33, 800, 566}, 1.0},
        ScaleCase{"GivenCropDecides", 4000, 3000, 100, 150, {0, 0, 1000, 1500}, true, {0, 0, 1000, 1500}, 1.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Resolution, PhotoWithoutEntriesIsNotScaled)
{
    TPriceList prices;
    _format format;
    format.width = 100;
    format.height = 150;
    prices.Add(format);
    SizedPhoto photo(4000, 3000);
    bool reencode = false;
    EXPECT_EQ(ScaleForResolution(photo, prices, 11.811024f, true, reencode), 1.0);
    EXPECT_FALSE(reencode);
}

} // namespace
} // namespace zv
