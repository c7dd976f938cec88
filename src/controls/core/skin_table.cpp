#include "controls/core/skin_table.h"

#include <algorithm>
#include <array>

namespace trivexa {

namespace {

// clang-format off
constexpr SkinPictureInfo kPictures[] = {
    {128, "171_app_icon.svg", 1, 32, 32},
    {129, "129_window_background.svg", 1, 96, 96},
    {137, "137_button_csv.svg", 4, 32, 32},
    {138, "138_button_delete.svg", 4, 32, 32},
    {139, "139_button_faster.svg", 4, 32, 32},
    {142, "142_button_slower.svg", 4, 32, 32},
    {144, "144_button_previous.svg", 4, 32, 32},
    {145, "145_button_next.svg", 4, 32, 32},
    {146, "146_button_open_source.svg", 4, 32, 32},
    {147, "147_button_pause.svg", 4, 32, 32},
    {148, "148_button_play.svg", 4, 32, 32},
    {150, "150_button_join.svg", 4, 32, 32},
    {151, "151_button_settings.svg", 4, 32, 32},
    {153, "153_button_still.svg", 4, 32, 32},
    {154, "154_button_to_start.svg", 4, 32, 32},
    {155, "155_caption_close.svg", 4, 46, 18},
    {156, "156_caption_minimise.svg", 4, 26, 18},
    {157, "157_caption_maximise.svg", 4, 26, 18},
    {159, "159_seek_right_bar.svg", 1, 400, 10},
    {160, "160_seek_thumb.svg", 1, 10, 10},
    {161, "161_seek_thumb_pressed.svg", 1, 10, 10},
    {162, "162_graph_legend_1g.svg", 1, 96, 143},
    {163, "163_graph_legend_0_5g.svg", 1, 96, 143},
    {167, "167_volume_left_bar.svg", 1, 100, 20},
    {168, "168_volume_right_bar.svg", 1, 100, 20},
    {169, "169_volume_thumb.svg", 1, 6, 20},
    {170, "170_volume_thumb_pressed.svg", 1, 6, 20},
    {171, "171_app_icon.svg", 1, 32, 32},
    {174, "174_seek_left_bar.svg", 1, 400, 10},
    {176, "176_graph_steering_mark.svg", 1, 9, 9},
    {188, "188_graph_legend_1_5g.svg", 1, 96, 143},
    {189, "189_graph_legend_2g.svg", 1, 96, 143},
    {190, "190_zoom_notice.svg", 1, 180, 100},
    {191, "191_zoom_cursor.svg", 1, 32, 32},
    {192, "192_badge_fhd_high.svg", 1, 74, 22},
    {195, "195_badge_fhd_low.svg", 1, 74, 22},
    {196, "196_badge_hd_high.svg", 1, 74, 22},
    {197, "197_badge_hd_low.svg", 1, 74, 22},
    {198, "198_badge_sd_high.svg", 1, 74, 22},
    {199, "199_badge_sd_low.svg", 1, 74, 22},
    {200, "200_button_zoom.svg", 4, 32, 32},
    {201, "201_digit_0.svg", 1, 11, 19},
    {202, "202_digit_4.svg", 1, 11, 19},
    {203, "203_digit_8.svg", 1, 11, 19},
    {204, "204_digit_9.svg", 1, 11, 19},
    {205, "205_sign_slash.svg", 1, 11, 19},
    {206, "206_digit_2.svg", 1, 11, 19},
    {207, "207_digit_1.svg", 1, 11, 19},
    {208, "208_digit_7.svg", 1, 11, 19},
    {209, "209_digit_5.svg", 1, 11, 19},
    {210, "210_digit_6.svg", 1, 11, 19},
    {211, "211_sign_point.svg", 1, 11, 19},
    {212, "212_sign_v.svg", 1, 11, 19},
    {213, "213_sign_colon.svg", 1, 11, 19},
    {214, "214_zoom_in.svg", 1, 24, 24},
    {215, "215_zoom_out.svg", 1, 24, 24},
    {217, "217_check_box.svg", 4, 12, 12},
    {218, "218_digit_3.svg", 1, 11, 19},
    {219, "219_sign_g.svg", 1, 11, 19},
    {307, "307_voltage_placeholder.svg", 1, 40, 20},
    {309, "309_panel_background.svg", 1, 200, 105},
    {312, "312_logo_pl35.svg", 1, 220, 120},
    {313, "313_frame_pattern.svg", 1, 8, 8},
    {315, "315_category_shock.svg", 1, 39, 26},
    {316, "316_category_manual.svg", 1, 39, 26},
    {317, "317_category_parking_shock.svg", 1, 39, 26},
    {318, "318_category_parking.svg", 1, 39, 26},
    {319, "319_category_base.svg", 1, 39, 26},
    {320, "320_speed_placeholder.svg", 1, 100, 21},
    {321, "321_logo.svg", 1, 220, 120},
    {325, "325_logo_pl21.svg", 1, 220, 120},
    {327, "327_mode_button.svg", 4, 12, 12},
    {331, "331_event_shock_x_steering.svg", 1, 16, 16},
    {332, "332_event_shock_y_acceleration.svg", 1, 16, 16},
    {333, "333_event_shock_y_braking.svg", 1, 16, 16},
    {334, "334_event_shock_z_descent.svg", 1, 16, 16},
    {335, "335_event_shock_z_rise.svg", 1, 16, 16},
    {336, "336_event_manual.svg", 1, 16, 16},
    {337, "337_event_emergency_stop.svg", 1, 16, 16},
    {338, "338_event_parking.svg", 1, 16, 16},
    {339, "339_event_overspeed.svg", 1, 16, 16},
    {340, "340_event_speed_camera.svg", 1, 16, 16},
    {341, "341_event_radar.svg", 1, 16, 16},
    {342, "342_event_approaching_vehicle.svg", 1, 16, 16},
    {343, "343_event_assist_steering.svg", 1, 16, 16},
    {344, "344_event_assist_acceleration.svg", 1, 16, 16},
    {345, "345_event_assist_braking.svg", 1, 16, 16},
    {346, "346_category_speed_camera.svg", 1, 39, 26},
    {348, "348_position_marker.svg", 1, 16, 16},
    {349, "349_start_marker.svg", 1, 16, 16},
    {350, "350_sign_minus.svg", 1, 11, 19},
    {351, "351_sign_kmh.svg", 1, 30, 19},
    {352, "352_dialog_close.svg", 4, 13, 12},
    {356, "356_button_swap_screens.svg", 4, 32, 32},
    {357, "357_button_map.svg", 4, 32, 32},
    {358, "358_badge_wqhd_high.svg", 1, 74, 22},
    {359, "359_badge_wqhd_low.svg", 1, 74, 22},
    {360, "360_badge_3m_high.svg", 1, 74, 22},
    {361, "361_badge_3m_low.svg", 1, 74, 22},
    {362, "362_button_mirror.svg", 4, 32, 32},
    {363, "363_badge_hd.svg", 1, 74, 22},
    {364, "364_badge_fhd.svg", 1, 74, 22},
    {365, "365_mic_sound.svg", 1, 20, 20},
    {366, "366_mic_plain.svg", 1, 20, 20},
    {367, "367_map_unavailable.svg", 1, 64, 64},
    {369, "369_category_approaching.svg", 1, 39, 26},
    {375, "375_mic_off.svg", 1, 20, 20},
    {376, "376_gps_reception.svg", 1, 20, 20},
    {377, "377_date_placeholder.svg", 1, 200, 19},
    {378, "378_accel_placeholder.svg", 1, 58, 20},
    {1000, "1000_push_button.svg", 4, 100, 30},
};

constexpr int kImageSet[] = {
    129,
    365, 366, 375, 376, 377, 378, 320, 307, 309, 321, 325, 312,
    198, 199, 196, 197, 192, 195, 358, 359, 360, 361, 363, 364,
    201, 207, 206, 218, 202, 209, 210, 208, 203, 204, 205, 213, 211, 350, 219, 351, 212,
    190, 214, 215,
    367,
};

constexpr int kEventIconSet[] = {
    348, 331, 332, 333, 334, 335, 336, 337, 338, 339, 340, 341, 342, 343, 344, 345, 349,
};
// clang-format on

constexpr bool SortedByNumber() {
    for (size_t i = 1; i < std::size(kPictures); ++i)
        if (kPictures[i - 1].number >= kPictures[i].number) return false;
    return true;
}
static_assert(SortedByNumber(), "the picture table is ordered by number, each number once");

}  // namespace

std::span<const SkinPictureInfo> SkinPictureTable() { return kPictures; }

const SkinPictureInfo* FindSkinPicture(int number) {
    const auto it =
        std::lower_bound(std::begin(kPictures), std::end(kPictures), number,
                         [](const SkinPictureInfo& row, int n) { return row.number < n; });
    return it != std::end(kPictures) && it->number == number ? &*it : nullptr;
}

std::span<const int> SkinImageSetOrder() { return kImageSet; }
std::span<const int> SkinEventIconOrder() { return kEventIconSet; }

}  // namespace trivexa
