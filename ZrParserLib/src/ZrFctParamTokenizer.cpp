// The argument-text tokenizer: collects top-level argument texts up to the matching bracket.
#include "zrparser/ZrFctParamTokenizer.h"

#include <memory>

ZrFctParamTokenizer::ClientFctI::~ClientFctI() = default;

ZrCompilerStateI* ZrFctParamTokenizer::ClientFctI::getCompilerState()
{
    if (!tokenizer_)
        tokenizer_ = std::make_unique<ZrFctParamTokenizer>();
    tokenizer_->setClient(std::unique_ptr<ClientFctI>(static_cast<ClientFctI*>(spawn())));
    return tokenizer_.get();
}

ZrFctParamTokenizer::~ZrFctParamTokenizer() = default;

void ZrFctParamTokenizer::setClient(std::unique_ptr<ClientFctI> client)
{
    client_ = std::move(client);
}

void ZrFctParamTokenizer::init(ZrCompilerI* compiler, ZrRegistrarI* registrar)
{
    compiler_ = compiler;
    registrar_ = registrar;
    params_.clear();
    bracketDepth_ = 1;
    startPos_ = compiler->getCurPos();
}

void ZrFctParamTokenizer::onEnd()
{
    compiler_->throwPosExcep(L"ZRPARSINGEXCEP_MissingCloseBracket", startPos_);
}

void ZrFctParamTokenizer::onOp(const std::wstring&)
{
    compiler_->appendCurChar();
}

void ZrFctParamTokenizer::onOpenBracket()
{
    ++bracketDepth_;
    compiler_->appendCurChar();
}

void ZrFctParamTokenizer::onCloseBracket()
{
    if (--bracketDepth_ > 0)
        compiler_->appendCurChar();
    else
        completeCall();
}

void ZrFctParamTokenizer::onArgSeparator()
{
    if (bracketDepth_ == 1) {
        params_.emplace_back(compiler_->getCurToken());
        compiler_->endCurToken();
    } else {
        compiler_->appendCurChar();
    }
}

// The client may compile sub-expressions through this same tokenizer (a nested call of the
// same function), so everything needed afterwards is taken into locals first.
void ZrFctParamTokenizer::completeCall()
{
    params_.emplace_back(compiler_->getCurToken());
    compiler_->endCurToken();
    ZrCompilerI* compiler = compiler_;
    ZrRegistrarI* registrar = registrar_;
    const unsigned pos = startPos_;
    compiler->resumeState();
    std::unique_ptr<ClientFctI> client = std::move(client_);
    client->onParams(params_, compiler, registrar, pos);
    ClientFctI* placed = client.release();
    compiler->addFunc(placed, static_cast<unsigned>(placed->getNbArgs()));
    if (placed->hasSpawnedItems())
        compiler->setHasSpawnedItems();
}
