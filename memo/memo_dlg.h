// One sticky note on the desktop: a modeless, captionless popup dialog from
// template 300, owned by the memo manager.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "memo/memo_host.h"

class CMemoDlg {
public:
    // A colour index outside 0..8 becomes 0.
    CMemoDlg(IMemoHost& host, int colourIndex, int minimised);
    ~CMemoDlg();
    CMemoDlg(const CMemoDlg&) = delete;
    CMemoDlg& operator=(const CMemoDlg&) = delete;

    // The control's window: target of kMemoChangedMessage / kSettingsChangedMessage.
    void SetNotifyWindow(HWND window);
    // Creates the window from template 300 with the control's window as
    // parent (owner). False when creation failed (no window then).
    bool Create(HWND parent);
    HWND hwnd() const;

    void SetKey(std::string key);
    void SetDataPath(std::string path);
    const std::string& key() const;
    const std::string& dataPath() const;

    // Placement and index write-back.
    void PlaceDefault();
    void RestorePlacement();
    void SavePlacement();
    void SaveProperties();
    void SaveFont();
    // Reads the memo's font from the live index (or the defaults) and uses it.
    void ApplyFont();

    // Text and its data file. Without mayHaveCopy the caller knows the folder
    // holds no emergency copy, and none is looked for.
    void LoadMemoText(bool mayHaveCopy = true);
    // Replaces the text (received data) and saves it; posts kMemoChangedMessage.
    void SetMemoText(const std::string& text);
    // The file's length, or -1.
    long SaveText(const std::string& path);
    // Text, properties, font and place, as deactivation saves them; false
    // when the data file could not take the text (kept in its emergency
    // copy, the user told once).
    bool SaveAll();
    // The edit's modified flag.
    bool IsTextModified() const;
    void ClearTextModified();
    std::string Text() const;

    void StartBlink(int on, int alarm);
    void StopBlink();
    bool IsBlinking() const;
    // An alarm fired and its time shows in the caption band.
    bool IsAlarmShown() const;
    std::int32_t FiredAlarmTime() const;
    void SetMinimized(int flag);
    bool IsMinimized() const;
    void SetColor(int index, bool repaint);
    int ColourIndex() const;
    // 1 new, 2 recycle, 3 ring, 4 new memo.
    void PlayMemoSound(int code);
    void DeleteMemo();
    // The memo menu behind the pin, opened at a screen point; the chosen
    // command runs after it has closed.
    void ShowMemoMenu(int x, int y);
    // A command of the memo menu (ids in res/resource.h); others do nothing.
    void RunMemoCommand(UINT id);

    void Show(bool show);
    // Shown, active, and the edit has the keyboard: a memo the user asked for.
    void Activate();

    // Text files chosen by the user ("\n"-separated lines are LF or CR LF).
    void LoadTextFile(const std::string& path);
    void AppendText(const std::string& text);

    // The text on the default printer; the printer setup dialog.
    void PrintMemo();
    void PrinterSetup();
    // The index section is this memo's key; nothing happens without one.
    static constexpr UINT kBlinkTimer = 10;
    static constexpr UINT kBlinkPeriodMs = 500;

    // Destroys the window now (saving what it must) and frees the object
    // once no message of it is being handled any more.
    static void Destroy(std::unique_ptr<CMemoDlg> memo);

    // Fields the memo manager reads and writes.
    std::int32_t m_alarmTime = 0;
    int m_placementChanged = 0;
    int m_propertiesChanged = 0;
    std::string m_title;
    int m_syncState = -1;

private:
    IMemoHost& Host() const;

    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
