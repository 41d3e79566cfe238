#pragma once
// The surface a board view draws on. It plays the board "movie": the view
// hands it one command at a time through two variables, "app_data" (the text)
// and then "app_cmd" (the command code in decimal), and the display answers
// with notices: "ready" once it has carried out the command, and "buttonclick"
// with "First", "Last", "Previous" or "Next" when the user presses a
// navigation button.
//
// Threads: the view calls the display under the event lock, possibly from a
// port worker's thread (new positions and clock times arrive there). An
// implementation therefore must not wait for another thread inside a call; it
// carries the calls out later on its own thread, in the order they came.
// Notices are raised on the main thread, never from inside a call to the
// display, and without the event lock held.
#include <cstdint>
#include <functional>
#include <string>

namespace app {

// The codes of "app_cmd": what "app_data" holds.
namespace FlashCode {
inline constexpr std::int32_t Position = 1;
inline constexpr std::int32_t WhitePlayer = 2;
inline constexpr std::int32_t BlackPlayer = 3;
inline constexpr std::int32_t WhiteClock = 4;
inline constexpr std::int32_t BlackClock = 5;
}  // namespace FlashCode

// Sent as the position when there is none to show: every square symbol with "_".
inline constexpr const char* kEmptyBoardText =
    "0_1_2_3_4_5_6_7_8_9_A_B_C_D_E_F_G_H_I_J_K_L_M_N_O_P_Q_R_S_T_U_V_W_X_Y_Z_"
    "a_b_c_d_e_f_g_h_i_j_k_l_m_n_o_p_q_r_s_t_u_v_w_x_y_z_+_*_";

class BoardDisplay {
public:
    // command: "ready" or "buttonclick"; argument: the button's name or "".
    using NoticeHandler = std::function<void(const std::string& command, const std::string& argument)>;

    virtual ~BoardDisplay() = default;

    // Replaces any handler registered before.
    virtual void SetNoticeHandler(NoticeHandler handler) = 0;
    // The movie file to play; a display that draws by itself may ignore it.
    virtual void SetMovie(const std::string& path) = 0;
    virtual void SetVariable(const std::string& name, const std::string& value) = 0;

    virtual void SetCaption(const std::string& caption) = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
};

}  // namespace app
