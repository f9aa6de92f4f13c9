#pragma once

#include <QString>

// The option objects of the browser host; each is owned by its TWebHost.

class TDisableErrors {
public:
    bool EnableDDE = true;
    bool ScriptErrorsSuppressed = true;
    bool fpExceptions() const { return m_fpExceptions; }
    // False masks every floating-point exception; true restores the state saved at start-up.
    void SetfpExceptions(bool value);

private:
    bool m_fpExceptions = true;
};

class TDialogBoxes {
public:
    bool DisableAll = false;
    bool ReplaceCaption = true;
    bool ReplaceIcon = true;
    QString NewCaption;
};

class TVisualEffects {
public:
    int TextSize = 2;
    bool DisableSounds = false;
};

class TProxySettings {
public:
    bool AutoLoadProxy = false;
    int Port = 80;
    QString Address;
    QString UserName;
    QString Password;
};

class TCustomWebHost;

// Control-key masking: the mask is applied by the host site; DisableCTRL_x are views of it.
class TShortCuts {
public:
    explicit TShortCuts(TCustomWebHost* host) : m_host(host) {}
    QString CtrlCharMask() const;
    void SetCtrlCharMask(const QString& mask);
    bool DisableCTRL_A() const { return has('A'); }
    void SetDisableCTRL_A(bool v) { set('A', v); }
    bool DisableCTRL_C() const { return has('C'); }
    void SetDisableCTRL_C(bool v) { set('C', v); }
    bool DisableCTRL_F() const { return has('F'); }
    void SetDisableCTRL_F(bool v) { set('F', v); }
    bool DisableCTRL_N() const { return has('N'); }
    void SetDisableCTRL_N(bool v) { set('N', v); }
    bool DisableCTRL_P() const { return has('P'); }
    void SetDisableCTRL_P(bool v) { set('P', v); }

private:
    bool has(char c) const;
    // True appends the letter when missing; false removes its first occurrence.
    void set(char c, bool on);
    TCustomWebHost* m_host;
};
