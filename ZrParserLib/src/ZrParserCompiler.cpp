// The expression compiler: character loop, default state (shunting-yard with bracket levels),
// name resolution, emission of steps, constant folding and variable linking.
#include "ZrParserCompiler.h"

#include <cwchar>

#include "ZrNumericText.h"
#include "zrparser/ZrException.h"
#include "zrparser/ZrOperatorI.h"
#include "zrparser/ZrParserItemI.h"
#include "zrparser/ZrPlatform.h"

// The default state: every character class goes to the compiler's own handlers.
class ZrParserCompiler::DefaultState final : public ZrCompilerStateI {
public:
    explicit DefaultState(ZrParserCompiler& compiler) : compiler_(compiler) {}
    void init(ZrCompilerI*, ZrRegistrarI*) override {}
    void onEnd() override {}
    bool onChar(wchar_t) override { return false; }
    void onOp(const std::wstring& symbol) override { compiler_.onOp(symbol); }
    void onOpenBracket() override { compiler_.onOpenBracket(); }
    void onCloseBracket() override { compiler_.onCloseOrSeparator(); }
    void onArgSeparator() override { compiler_.onCloseOrSeparator(); }

private:
    ZrParserCompiler& compiler_;
};

ZrParserCompiler::ZrParserCompiler(ZrRegistrarI* registrar) : registrar_(registrar)
{
    states_.push_back(std::make_unique<DefaultState>(*this));
    defaultState_ = 0;
    curState_ = states_[defaultState_].get();
    reset();
}

// ---- public operations --------------------------------------------------------------------

void ZrParserCompiler::compile(const wchar_t* expr)
{
    reset();
    program_.clear();
    syntax_ = registrar_->getSyntax();
    expression_ = expr ? expr : L"";
    parse(expression_.c_str());
    finishProgram();
    releaseParseBuffers();
}

// A compiled program keeps nothing of its text but the text itself: thousands of formulas live
// side by side in a show.
void ZrParserCompiler::releaseParseBuffers()
{
    std::wstring().swap(workText_);
    std::vector<unsigned>().swap(positionMap_);
    std::wstring().swap(curToken_);
    std::wstring().swap(prevToken_);
    std::vector<PendingEntry>().swap(opStack_);
    std::vector<BracketLevel>().swap(levelStack_);
    std::vector<ZrParserItemI*>().swap(pendingHeads_);
}

bool ZrParserCompiler::isConstant()
{
    return !program_.empty() && program_.back().isConst;
}

std::wstring ZrParserCompiler::getUsedVar(unsigned index)
{
    if (index >= usedVars_.size())
        zrRaise(ZrExcepData(L"ZRDEFEXCEP_ItemNotFound", L"param1", std::to_wstring(index)), __LINE__, ZR_SOURCE_FILE);
    return usedVars_[index].name;
}

void ZrParserCompiler::reset()
{
    program_.clear();
    usedVars_.clear();
    linkedStubs_.clear();
    pendingHeads_.clear();
    positionMap_.clear();
    workText_.clear();
    expression_.clear();
    curToken_.clear();
    prevToken_.clear();
    opStack_.clear();
    levelStack_.clear();
    curPos_ = 0;
    nextChar_ = 0;
    curState_ = states_[defaultState_].get();
    hasSpawnedItems_ = false;
    recipe_.clear();
    addNaNProgram();
}

void ZrParserCompiler::addNaNProgram()
{
    ZrProgramItem& step = program_.append(nullptr, 0, 0);
    step.value = zr::nan();
    step.isConst = true;
    step.result = &step.value;
}

void ZrParserCompiler::replaceVar(ZrVariableI* var)
{
    const std::wstring name = var->getSymbol();
    if (!linkedStubs_.count(name))
        return;
    for (ZrProgramItem& step : program_.items)
        if (step.isVarHead && name == step.item->getSymbol()) {
            step.item = var;
            return;
        }
}

ZrCompilerI* ZrParserCompiler::spawn(ZrRegistrarI* registrar)
{
    auto* child = new ZrParserCompiler(registrar);
    child->autoVarDefinition_ = autoVarDefinition_;
    return child;
}

// ---- raising ------------------------------------------------------------------------------

unsigned ZrParserCompiler::getTextPos(unsigned pos)
{
    if (pos < positionMap_.size())
        return positionMap_[pos];
    // Positions past the last character (the end of the text) continue after it.
    if (positionMap_.empty())
        return pos;
    return positionMap_.back() + 1 + (pos - static_cast<unsigned>(positionMap_.size()));
}

void ZrParserCompiler::throwFuncExcep(const wchar_t* id, unsigned pos, const wchar_t* name, unsigned nbArgs)
{
    zrRaise(ZrExcepData(id, L"pos", std::to_wstring(getTextPos(pos)), L"itemName", name ? name : L"", L"param1",
                        std::to_wstring(nbArgs)),
            __LINE__, ZR_SOURCE_FILE);
}

void ZrParserCompiler::throwItemExcep(const wchar_t* id, unsigned pos, const wchar_t* itemName)
{
    zrRaise(ZrExcepData(id, L"pos", std::to_wstring(getTextPos(pos)), L"itemName", itemName ? itemName : L""),
            __LINE__, ZR_SOURCE_FILE);
}

void ZrParserCompiler::throwPosExcep(const wchar_t* id, unsigned pos)
{
    zrRaise(ZrExcepData(id, L"pos", std::to_wstring(getTextPos(pos))), __LINE__, ZR_SOURCE_FILE);
}

void ZrParserCompiler::throwDefExcep(const wchar_t* id, const wchar_t* itemName)
{
    zrRaise(ZrExcepData(id, L"itemName", itemName ? itemName : L""), __LINE__, ZR_SOURCE_FILE);
}

// ---- the character loop -------------------------------------------------------------------

namespace {

// Texts nest when a function compiles its own arguments (conditionals, loops, macros) and those
// contain further such calls. Each level recurses through the compiler and later through the
// evaluation, so the depth is bounded: deeper input is an error, not a stack overflow.
constexpr int MAX_NESTED_TEXTS = 64;
thread_local int nestedTexts = 0;

struct NestingGuard {
    NestingGuard() { ++nestedTexts; }
    ~NestingGuard() { --nestedTexts; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
};

} // namespace

void ZrParserCompiler::parse(const wchar_t* text)
{
    NestingGuard nesting;
    workText_.clear();
    positionMap_.clear();
    for (unsigned i = 0; text[i]; ++i)
        if (text[i] != L' ') {
            workText_ += text[i];
            positionMap_.push_back(i);
        }
    if (workText_.empty())
        return;
    if (nestedTexts > MAX_NESTED_TEXTS)
        throwPosExcep(L"ZRPARSINGEXCEP_InvalidSyntax", 0);

    levelStack_.push_back({});
    endCurToken();
    nextChar_ = 0;
    curPos_ = 0;
    curState_ = states_[defaultState_].get();
    curState_->init(this, registrar_);

    const unsigned length = static_cast<unsigned>(workText_.size());
    std::wstring symbol;
    while (curPos_ < length) {
        const wchar_t c = workText_[curPos_];
        nextChar_ = curPos_ + 1 < length ? workText_[curPos_ + 1] : 0;
        if (curState_->onChar(c)) {
        } else if (registrar_->matchOpAt(workText_.c_str() + curPos_, length - curPos_, symbol)) {
            curState_->onOp(symbol);
        } else if (c == syntax_.argumentSeparator) {
            curState_->onArgSeparator();
        } else if (c == L'(') {
            curState_->onOpenBracket();
        } else if (c == L')') {
            curState_->onCloseBracket();
        } else {
            appendCurChar();
        }
        ++curPos_;
    }

    curState_->onEnd();
    endToken();
    while (!opStack_.empty()) {
        const PendingEntry entry = opStack_.back();
        if (entry.precedence == OPEN_BRACKET)
            throwPosExcep(L"ZRPARSINGEXCEP_MissingCloseBracket", entry.position);
        emit(entry);
        opStack_.pop_back();
    }
}

void ZrParserCompiler::endCurToken()
{
    prevToken_ = curToken_;
    curToken_.clear();
}

void ZrParserCompiler::recordKind(unsigned kind)
{
    BracketLevel& level = levelStack_.back();
    level.previousKind = level.lastKind;
    level.lastKind = kind;
}

// The flag belongs to the call whose argument is being read: the entry below an open bracket.
void ZrParserCompiler::markContent(bool flag)
{
    if (opStack_.empty())
        return;
    if (opStack_.back().precedence == OPEN_BRACKET) {
        if (opStack_.size() >= 2)
            opStack_[opStack_.size() - 2].hasContent = flag;
    } else {
        opStack_.back().hasContent = flag;
    }
}

double ZrParserCompiler::toNumber(const std::wstring& token) const
{
    std::wstring text = token;
    if (syntax_.decimalPoint != L'.') {
        const std::size_t at = text.find(syntax_.decimalPoint);
        if (at != std::wstring::npos)
            text[at] = L'.';
    }
    return std::wcstod(text.c_str(), nullptr);
}

bool ZrParserCompiler::endToken()
{
    if (curToken_.empty())
        return true;
    const unsigned tokenPos = curPos_ - static_cast<unsigned>(curToken_.size());
    const unsigned lastKind = levelStack_.back().lastKind;
    if (lastKind == VALUE || lastKind == FUNCTION)
        throwItemExcep(L"ZRPARSINGEXCEP_MissingOp", tokenPos, curToken_.c_str());

    if (curPos_ < workText_.size() && workText_[curPos_] == L'(') {
        unsigned index = 0;
        if (!registrar_->findFunc(curToken_.c_str(), index))
            throwItemExcep(L"ZRPARSINGEXCEP_UndefinedFunc", tokenPos, curToken_.c_str());
        ZrFunctionI* func = registrar_->getFunc(index);
        markContent(true);
        recordKind(FUNCTION);
        if (ZrCompilerStateI* state = func->getCompilerState()) {
            // The state starts on an empty token with the "(" consumed.
            endCurToken();
            curState_ = state;
            state->init(this, registrar_);
            return false;
        }
        PendingEntry entry;
        entry.precedence = CALL_PRECEDENCE;
        entry.position = tokenPos;
        entry.kind = FUNCTION;
        entry.index = index;
        entry.item = func;
        opStack_.push_back(entry);
    } else if (isNumericText(curToken_, syntax_.decimalPoint)) {
        addConstValue(toNumber(curToken_));
    } else if (unsigned index = 0; registrar_->findConst(curToken_.c_str(), index)) {
        std::wstring name;
        double value = 0;
        registrar_->getConst(index, name, value);
        addConstValue(value);
        program_.back().constIndex = static_cast<int>(index);
    } else {
        try {
            addVar(curToken_.c_str());
        } catch (ZrParserException&) {
            throwItemExcep(L"ZRPARSINGEXCEP_UndefinedVar", tokenPos, curToken_.c_str());
        }
    }
    endCurToken();
    return true;
}

// ---- default-state handlers ---------------------------------------------------------------

void ZrParserCompiler::onOp(const std::wstring& symbol)
{
    if (!endToken())
        return;
    markContent(true);
    recordKind(OPERATOR);
    const unsigned previous = levelStack_.back().previousKind;
    const bool unary = previous == NOTHING || previous == OPERATOR;
    unsigned index = 0;
    if (!registrar_->findOp(symbol.c_str(), unary, index))
        throwItemExcep(L"ZRPARSINGEXCEP_InvalidOpSyntax", curPos_, symbol.c_str());
    curPos_ += static_cast<unsigned>(symbol.size()) - 1;
    if (curPos_ + 1 >= workText_.size())
        throwPosExcep(L"ZRPARSINGEXCEP_UnexpectedOp", curPos_);

    ZrOperatorI* op = registrar_->getOp(index);
    const unsigned p = static_cast<unsigned>(op->getPrecedence());
    if (!opStack_.empty()) {
        const PendingEntry& top = opStack_.back();
        const bool unaryOnTop = top.kind == OPERATOR && top.nbArgs == 1;
        // A chain of prefix operators nests to the right; everything else of equal or higher
        // precedence (a pending call included) completes first.
        if (top.precedence != OPEN_BRACKET && (p < top.precedence || (p == top.precedence && !unaryOnTop))) {
            while (!opStack_.empty() && opStack_.back().precedence != OPEN_BRACKET && opStack_.back().precedence >= p) {
                const PendingEntry entry = opStack_.back();
                emit(entry);
                opStack_.pop_back();
            }
        }
    }
    PendingEntry entry;
    entry.precedence = p;
    entry.position = curPos_;
    entry.nbArgs = unary ? 1 : 2;
    entry.kind = OPERATOR;
    entry.index = index;
    entry.item = op;
    opStack_.push_back(entry);
}

void ZrParserCompiler::onOpenBracket()
{
    if (!endToken())
        return;
    const unsigned lastKind = levelStack_.back().lastKind;
    if (nextChar_ == L')' && lastKind != FUNCTION)
        throwPosExcep(L"ZRPARSINGEXCEP_InvalidSyntax", curPos_);
    if (lastKind == VALUE)
        throwPosExcep(L"ZRPARSINGEXCEP_InvalidSyntax", curPos_);
    markContent(false);
    PendingEntry bracket;
    bracket.precedence = OPEN_BRACKET;
    bracket.position = curPos_;
    opStack_.push_back(bracket);
    levelStack_.push_back({});
}

void ZrParserCompiler::onCloseOrSeparator()
{
    const bool isSeparator = workText_[curPos_] == syntax_.argumentSeparator;
    if (!endToken())
        return;
    if (levelStack_.back().lastKind == OPERATOR)
        throwPosExcep(L"ZRPARSINGEXCEP_UnexpectedOp", curPos_);
    levelStack_.pop_back();
    if (isSeparator) {
        if (levelStack_.empty() || levelStack_.back().lastKind != FUNCTION)
            throwPosExcep(L"ZRPARSINGEXCEP_InvalidArgSeparator", curPos_);
        levelStack_.push_back({});
        if (nextChar_ == L')')
            throwPosExcep(L"ZRPARSINGEXCEP_UselessArgSeparator", curPos_);
    }

    bool emitted = false;
    while (!opStack_.empty() && opStack_.back().precedence != OPEN_BRACKET) {
        const PendingEntry entry = opStack_.back();
        emit(entry);
        opStack_.pop_back();
        emitted = true;
    }
    if (opStack_.empty())
        throwPosExcep(isSeparator ? L"ZRPARSINGEXCEP_InvalidArgSeparator" : L"ZRPARSINGEXCEP_MissingOpenBracket",
                      curPos_);

    bool hadContent = false;
    if (opStack_.size() >= 2) {
        PendingEntry& owner = opStack_[opStack_.size() - 2];
        hadContent = owner.hasContent;
        if (hadContent && owner.kind == FUNCTION)
            ++owner.nbArgs;
    }
    if (isSeparator && !emitted && !hadContent)
        throwPosExcep(L"ZRPARSINGEXCEP_UselessArgSeparator", curPos_);

    if (!isSeparator) {
        opStack_.pop_back();
        if (!levelStack_.empty() && levelStack_.back().lastKind != FUNCTION)
            recordKind(VALUE);
    }
    // A group closed right before the end of an argument passes its content on to the call.
    const bool endsArgument = nextChar_ == L')' || nextChar_ == syntax_.argumentSeparator;
    markContent(!isSeparator && endsArgument ? hadContent : false);
}

// ---- steps --------------------------------------------------------------------------------

void ZrParserCompiler::emit(const PendingEntry& entry)
{
    if (entry.kind != FUNCTION) {
        program_.append(entry.item, entry.nbArgs, entry.position);
        return;
    }
    const std::wstring name = registrar_->getFunc(entry.index)->getSymbol();
    unsigned index = 0;
    if (!registrar_->findFuncOverload(name.c_str(), static_cast<int>(entry.nbArgs), index))
        throwFuncExcep(L"ZRPARSINGEXCEP_OverloadedFuncNotFound", entry.position, name.c_str(), entry.nbArgs);
    ZrFunctionI* func = registrar_->getFunc(index);
    noteProcessState(*func);
    if (func->isShareable()) {
        program_.append(func, entry.nbArgs, entry.position);
    } else {
        std::unique_ptr<ZrFunctionI> instance(func->spawn());
        ZrProgramItem& step = program_.append(std::move(instance), entry.nbArgs, entry.position);
        step.prototype = func;
        func = static_cast<ZrFunctionI*>(step.item);
        hasSpawnedItems_ = true;
    }
    func->onCompile(this, registrar_);
}

void ZrParserCompiler::addConstValue(double value)
{
    recordKind(VALUE);
    ZrProgramItem& step = program_.append(nullptr, 0, curPos_ - static_cast<unsigned>(curToken_.size()));
    step.value = value;
    step.isConst = true;
    markContent(true);
}

ZrVariableI* ZrParserCompiler::getVarItem(const wchar_t* name)
{
    if (!registrar_->isVarDefined(name)) {
        if (autoVarDefinition_) {
            registrar_->defineVarFromFactory(name);
        } else if (outer_) {
            ZrVariableI* stub = outer_->getVarItem(name);
            usedVars_.push_back({stub, nullptr, name});
            return stub;
        } else {
            throwDefExcep(L"ZRDEFEXCEP_ItemNotFound", name);
        }
    }
    if (auto known = linkedStubs_.find(name); known != linkedStubs_.end())
        return known->second;
    // The head step that reads the variable is put in front of the program once it is parsed.
    ZrVariableI* head = registrar_->getVar(name);
    auto stub = std::make_unique<ZrVarStub>();
    ZrVariableI* placed = stub.get();
    usedVars_.push_back({placed, std::move(stub), name});
    linkedStubs_.emplace(name, placed);
    pendingHeads_.push_back(head);
    return placed;
}

void ZrParserCompiler::addVar(const wchar_t* name)
{
    const unsigned position = curPos_ - static_cast<unsigned>(curToken_.size());
    ZrVariableI* item = getVarItem(name);
    recordKind(VALUE);
    program_.append(item, 0, position);
    markContent(true);
}

void ZrParserCompiler::addFunc(ZrFunctionI* func, unsigned nbArgs)
{
    // The program owns the instance before anything else can fail.
    program_.append(std::unique_ptr<ZrParserItemI>(func), nbArgs, curPos_);
    noteProcessState(*func);
    func->onCompile(this, registrar_);
    recordKind(FUNCTION);
    markContent(true);
}

void ZrParserCompiler::addFuncCall(const wchar_t* name, unsigned nbArgs)
{
    unsigned index = 0;
    if (!registrar_->findFuncOverload(name, static_cast<int>(nbArgs), index))
        throwFuncExcep(L"ZRPARSINGEXCEP_OverloadedFuncNotFound", curPos_, name, nbArgs);
    PendingEntry entry;
    entry.precedence = CALL_PRECEDENCE;
    entry.position = curPos_;
    entry.nbArgs = nbArgs;
    entry.kind = FUNCTION;
    entry.index = index;
    entry.item = registrar_->getFunc(index);
    emit(entry);
    recordKind(FUNCTION);
    markContent(true);
}

unsigned ZrParserCompiler::compileSubExpr(const wchar_t* text)
{
    const unsigned before = static_cast<unsigned>(program_.size());
    ParsingContext saved{curToken_,  workText_,  prevToken_, nextChar_, positionMap_,
                         opStack_,   levelStack_, curState_, curPos_};
    auto restore = [&] {
        curToken_ = std::move(saved.curToken);
        workText_ = std::move(saved.workText);
        prevToken_ = std::move(saved.prevToken);
        nextChar_ = saved.nextChar;
        positionMap_ = std::move(saved.positionMap);
        opStack_ = std::move(saved.opStack);
        levelStack_ = std::move(saved.levelStack);
        curState_ = saved.curState;
        curPos_ = saved.curPos;
    };
    opStack_.clear();
    levelStack_.clear();
    try {
        parse(text ? text : L"");
    } catch (...) {
        restore();
        throw;
    }
    restore();
    if (program_.size() == before)
        throwPosExcep(L"ZRPARSINGEXCEP_InvalidSyntax", 0);
    return before;
}

void ZrParserCompiler::resumeState()
{
    curState_ = states_[defaultState_].get();
    curState_->init(this, registrar_);
}

// ---- folding and linking ------------------------------------------------------------------

void ZrParserCompiler::finishProgram()
{
    if (program_.empty()) {
        addNaNProgram();
        return;
    }
    program_.prependHeads(pendingHeads_);
    pendingHeads_.clear();
    keepRecipe();
    program_.fixValues();
    foldConstants(program_);
    pruneConstants(program_);
    linkVariables();
}

// ---- instances ----------------------------------------------------------------------------

namespace {

// How many calls of functions that share state with the whole process this thread has compiled.
thread_local unsigned long processStateUses = 0;

} // namespace

void ZrParserCompiler::noteProcessState(ZrFunctionI& func)
{
    if (func.usesProcessState())
        ++processStateUses;
}

unsigned long ZrParserCompiler::processStateUseCount()
{
    return processStateUses;
}

namespace {

// What a step is, without the per-use instance it may own and without its place in a block.
ZrProgramItem describedStep(const ZrProgramItem& step)
{
    ZrProgramItem copy;
    copy.item = step.ownedItem ? nullptr : step.item;
    copy.prototype = step.prototype;
    copy.value = step.value;
    copy.argOffset = step.argOffset;
    copy.nbArgs = step.nbArgs;
    copy.position = step.position;
    copy.constIndex = step.constIndex;
    copy.isConst = step.isConst;
    copy.isVarHead = step.isVarHead;
    return copy;
}

} // namespace

// The program as parsed, before folding: each owned instance is remembered by the function it
// was spawned from, each literal by the constant it was read from. A step placed by a function's
// own compiler state has no such function, and then there is no recipe.
void ZrParserCompiler::keepRecipe()
{
    recipe_.clear();
    recipeValueCount_ = 0;
    if (!keepsRecipe_)
        return;
    std::vector<ZrProgramItem> recipe;
    recipe.reserve(program_.size());
    for (const ZrProgramItem& step : program_.items) {
        if (step.ownedItem && !step.prototype)
            return;
        recipe.push_back(describedStep(step));
    }
    recipe_ = std::move(recipe);
    recipeValueCount_ = program_.values.size();
}

// What compiling the same text again would build, without reading the text: the same instances
// spawned and prepared in the same order, the literals read again from the registrar's constants,
// and the same folding with its calls and its errors.
ZrProgram ZrParserCompiler::instantiate()
{
    ZrProgram program;
    program.values.assign(recipeValueCount_, 0.0);
    program.items.reserve(recipe_.size());
    std::wstring name;
    for (const ZrProgramItem& planned : recipe_) {
        ZrProgramItem& step = program.items.emplace_back(describedStep(planned));
        if (planned.constIndex >= 0)
            registrar_->getConst(static_cast<unsigned>(planned.constIndex), name, step.value);
        if (planned.prototype) {
            std::unique_ptr<ZrFunctionI> instance(planned.prototype->spawn());
            ZrFunctionI* placed = instance.get();
            step.item = placed;
            step.ownedItem = std::move(instance);
            placed->onCompile(this, registrar_);
        }
    }
    program.fixValues();
    foldConstants(program);
    pruneConstants(program);
    return program;
}

// Wires every producer to the argument slot of its consumer, walking the postfix list with a
// stack of pending producers, and computes each call whose item is constant and whose
// arguments all folded.
void ZrParserCompiler::foldConstants(ZrProgram& program)
{
    std::vector<std::size_t> producers;
    for (std::size_t i = 0; i < program.size(); ++i) {
        ZrProgramItem& step = program[i];
        if (step.isVarHead)
            continue;
        if (!step.isConst) {
            bool constant = step.item->isConstant();
            for (unsigned j = step.nbArgs; j-- > 0;) {
                if (producers.empty())
                    throwPosExcep(L"ZRPARSINGEXCEP_InternalError", step.position);
                ZrProgramItem& producer = program[producers.back()];
                producers.pop_back();
                producer.result = &step.args[j];
                if (producer.isConst)
                    step.args[j] = producer.value;
                else
                    constant = false;
            }
            if (constant) {
                step.value = step.item->evaluate(step.nbArgs, step.args);
                step.isConst = true;
            }
        }
        producers.push_back(i);
    }
    if (producers.size() != 1)
        throwPosExcep(L"ZRPARSINGEXCEP_InternalError", program.back().position);
}

// Constant steps have left their values in their consumers' slots; only the root stays. The
// result slot of the root moves with it to its new place in the list.
void ZrParserCompiler::pruneConstants(ZrProgram& program)
{
    const std::size_t root = program.size() - 1;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < program.size(); ++i) {
        ZrProgramItem& step = program[i];
        if (step.isConst && i != root)
            continue;
        if (kept != i)
            program.items[kept] = std::move(step);
        ++kept;
    }
    program.items.resize(kept);
    program.items.shrink_to_fit();
}

// Every use of an own variable reads the slot its head fills.
void ZrParserCompiler::linkVariables()
{
    std::size_t k = 0;
    for (std::size_t u = usedVars_.size(); u-- > 0;)
        if (usedVars_[u].ownStub)
            usedVars_[u].ownStub->valuePtr = program_[k++].result;
}
