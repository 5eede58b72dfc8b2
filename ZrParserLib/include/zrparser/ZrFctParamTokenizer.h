// The argument-text tokenizer: a compiler state that collects the raw text of each argument
// of a call and hands the list to a fresh instance of the function, which compiles them itself.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zrparser/ZrCompilerI.h"
#include "zrparser/ZrExport.h"
#include "zrparser/ZrParserItemI.h"

class ZR_API ZrFctParamTokenizer final : public ZrCompilerStateI {
public:
    // Base of functions that receive their arguments as texts.
    class ZR_API ClientFctI : public ZrFunctionI {
    public:
        ClientFctI() = default;
        ClientFctI(const ClientFctI&) = delete;
        ClientFctI& operator=(const ClientFctI&) = delete;
        ~ClientFctI() override;

        bool isConstant() const override { return true; }
        bool isShareable() const override { return true; }
        bool isInheritable() const override { return false; }
        // The item's tokenizer, holding a freshly spawned client for this call site.
        ZrCompilerStateI* getCompilerState() override;

        // True when the instance, once given its arguments, holds per-use items of its own.
        virtual bool hasSpawnedItems() = 0;
        // Receives the argument texts of one call, at work-text position `pos` of `compiler`,
        // and compiles what it needs; reports errors by throwing.
        virtual void onParams(std::vector<std::wstring> params, ZrCompilerI* compiler, ZrRegistrarI* registrar,
                              unsigned pos) = 0;

    private:
        std::unique_ptr<ZrFctParamTokenizer> tokenizer_;
    };

    ZrFctParamTokenizer() = default;
    ZrFctParamTokenizer(const ZrFctParamTokenizer&) = delete;
    ZrFctParamTokenizer& operator=(const ZrFctParamTokenizer&) = delete;
    ~ZrFctParamTokenizer() override;

    // The client that receives the next call's argument texts; one left behind by an abandoned
    // compilation goes.
    void setClient(std::unique_ptr<ClientFctI> client);

    void init(ZrCompilerI* compiler, ZrRegistrarI* registrar) override;
    void onEnd() override;
    bool onChar(wchar_t) override { return false; }
    void onOp(const std::wstring& symbol) override;
    void onOpenBracket() override;
    void onCloseBracket() override;
    void onArgSeparator() override;

private:
    void completeCall();

    ZrCompilerI* compiler_ = nullptr;
    ZrRegistrarI* registrar_ = nullptr;
    std::vector<std::wstring> params_;
    int bracketDepth_ = 0;
    unsigned startPos_ = 0;
    std::unique_ptr<ClientFctI> client_;
};
