#include "core/GpsList.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(GpsData, ResetCopyAndSensorValues)
{
    GpsData d;
    EXPECT_EQ(d.fDirection(), -1.0f);
    EXPECT_EQ(d.fSpeed(), 0.0f);
    d.setFLatitude(1);
    d.setDAltitude(12.5);
    d.setSensorValue(-50, 0, 62);
    EXPECT_FLOAT_EQ(d.GetGValueX(), -0.8f);
    EXPECT_FLOAT_EQ(d.GetGValueY(), 0.0f);
    EXPECT_FLOAT_EQ(d.GetGValueZ(), 0.992f);
    EXPECT_EQ(d.GetSensorX(), -50);

    // Values in g leave the raw counts alone.
    d.setSensorValue(1.5f, -2.0f, 0.25f);
    EXPECT_EQ(d.GetSensorX(), -50);
    EXPECT_FLOAT_EQ(d.GetGValueY(), -2.0f);

    GpsData copy;
    EXPECT_FALSE(copy.Copy(nullptr));
    EXPECT_TRUE(copy.Copy(&d));
    EXPECT_EQ(copy.dAltitude(), 12.5);
    EXPECT_EQ(copy.GetSensorZ(), 62);

    d.ResetData();
    EXPECT_EQ(d.fLatitude(), 0.0f);
    EXPECT_EQ(d.fDirection(), -1.0f);
    EXPECT_EQ(d.dAltitude(), 0.0);
}

TEST(GpsData, NonFiniteValuesNeverGetIn)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    GpsData d;
    d.setFLatitude(nan);
    d.setFLongitude(-inf);
    d.setFSpeed(inf);
    d.setFDirection(nan);
    d.setDAltitude(std::numeric_limits<double>::quiet_NaN());
    d.setSensorValue(nan, inf, 1.0f);
    EXPECT_EQ(d.fLatitude(), 0.0f);
    EXPECT_EQ(d.fLongitude(), 0.0f);
    EXPECT_EQ(d.fSpeed(), 0.0f);
    EXPECT_EQ(d.fDirection(), -1.0f);
    EXPECT_EQ(d.dAltitude(), 0.0);
    EXPECT_EQ(d.GetGValueX(), 0.0f);
    EXPECT_EQ(d.GetGValueY(), 0.0f);
    EXPECT_EQ(d.GetGValueZ(), 1.0f);
}

TEST(GpsList, IndexingInsertDeleteAndClear)
{
    GpsList list;
    EXPECT_EQ(list.GetGpsData(-1), nullptr);
    EXPECT_EQ(list.GetLastData(), nullptr);
    EXPECT_EQ(list.InsertData(nullptr, 0), -1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(list.InsertData(static_cast<float>(i + 1), 10, 0, 0, -1), i + 1);
    GpsData extra;
    extra.setFLatitude(99);
    EXPECT_EQ(list.InsertData(&extra, 7), 4); // beyond the end: appended
    EXPECT_EQ(list.GetGpsData(3)->fLatitude(), 99.0f);
    EXPECT_EQ(list.GetGpsData(-1)->fLatitude(), 99.0f);
    EXPECT_EQ(list.GetGpsData(4), nullptr);
    extra.setFLatitude(50);
    EXPECT_EQ(list.InsertData(&extra, 1), 5);
    EXPECT_EQ(list.GetGpsData(1)->fLatitude(), 50.0f);
    EXPECT_EQ(list.GetGpsData(2)->fLatitude(), 2.0f);

    EXPECT_FALSE(list.DeleteData(&extra, true)); // a copy went in, not this object
    EXPECT_TRUE(list.DeleteData(list.GetGpsData(1), false));
    EXPECT_EQ(list.GetDataCount(), 4);
    EXPECT_EQ(list.GetGpsData(1)->fLatitude(), 2.0f);

    list.setModelName("DRC-2000W");
    list.SetTextStamp("abc");
    list.SetShowSpeed(false);
    list.setBGps(true);
    list.UpdateGExtremes(1, 2, 3, 0);
    list.ClearAllData();
    EXPECT_EQ(list.GetDataCount(), 0);
    EXPECT_FALSE(list.IsGPSReady());
    EXPECT_TRUE(list.IsShowSpeed());
    EXPECT_EQ(list.GetTextStamp(), "");
    EXPECT_EQ(list.GetMaxGValue(), 0.0f);
    EXPECT_EQ(list.GetMaxGIndex(), -1);
    EXPECT_EQ(list.getModelName(), "DRC-2000W");
    list.setModelName(static_cast<const char*>(nullptr));
    EXPECT_EQ(list.getModelName(), "DRC-2000W");
}

TEST(GpsList, ExtremesAreOverAllAxes)
{
    GpsList list;
    list.InsertData(0, 0, 0, -1, -1);
    // A single sample points both indexes at itself, even with zeros.
    list.UpdateGExtremes(0, 0, 0, 0);
    EXPECT_EQ(list.GetMaxGIndex(), 0);
    EXPECT_EQ(list.GetMinGIndex(), 0);
    list.InsertData(0, 0, 0, -1, -1);
    list.UpdateGExtremes(0.2f, -0.1f, 1.1f, 1);
    list.InsertData(0, 0, 0, -1, -1);
    list.UpdateGExtremes(-0.9f, 0.3f, 1.0f, 2);
    list.InsertData(0, 0, 0, -1, -1);
    list.UpdateGExtremes(0.5f, -0.5f, 1.05f, 3); // raises nothing
    EXPECT_FLOAT_EQ(list.GetMaxGValue(), 1.1f);
    EXPECT_EQ(list.GetMaxGIndex(), 1);
    EXPECT_FLOAT_EQ(list.GetMinGValue(), -0.9f);
    EXPECT_EQ(list.GetMinGIndex(), 2);
}

TEST(GpsList, SyncVideoDurationPadsOnlyTracksWithGSensorData)
{
    GpsList list;
    for (int i = 0; i < 60; ++i)
        list.InsertData(35.0f + i * 0.001f, 139.0f, 40, 90, -1);
    list.GetLastData()->setDAltitude(30);
    list.SyncVideoDuration(62);
    EXPECT_EQ(list.GetDataCount(), 60); // no G-sensor data

    list.setBSenser(true);
    list.SyncVideoDuration(62);
    ASSERT_EQ(list.GetDataCount(), 62);
    const GpsData* pad = list.GetGpsData(61);
    EXPECT_EQ(pad->fLatitude(), list.GetGpsData(59)->fLatitude());
    EXPECT_EQ(pad->fLongitude(), 139.0f);
    EXPECT_EQ(pad->fSpeed(), -1.0f);
    EXPECT_EQ(pad->fDirection(), -1.0f);
    EXPECT_EQ(pad->GetGValueZ(), 0.0f);

    list.SyncVideoDuration(10); // never cut
    EXPECT_EQ(list.GetDataCount(), 62);
    list.SyncVideoDuration(-5);
    EXPECT_EQ(list.GetDataCount(), 62);

    // A container that claims years of video cannot make the track huge.
    GpsList empty;
    empty.setBSenser(true);
    empty.SyncVideoDuration(2000000000);
    EXPECT_EQ(empty.GetDataCount(), GpsList::kMaxVideoSeconds);
    EXPECT_EQ(empty.GetGpsData(0)->fLatitude(), 0.0f);
}
