// The run-time compiler: a recursive-descent parser that turns a text into a
// small tree, and a tree-walking evaluator.
//
// Goals: every text either compiles or raises a syntax error that quotes it;
// no input can crash the parser, make it recurse without bound or read past
// the end of the text. Names are settled as early as they can be: parameters
// and bound variables when the text is compiled, built-ins too (they never
// change), routines of the registry, fields and dynamically scoped variables
// when the text is evaluated, so that a text may be compiled before the
// routine or variable it names exists.
#include "runtime/lang/compiler.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/lang/error.h"
#include "runtime/lang/langcontext.h"
#include "runtime/lang/registry.h"
#include "runtime/lang/strings.h"

namespace krx {

namespace {

// Bounds that keep the parser and the evaluator within a modest stack: how
// deeply brackets, unary operators and assignments may nest, how tall the
// tree of one text may grow (long chains of binary operators), and how many
// compiled callables may be under evaluation at once.
constexpr int kMaxNesting = 64;
constexpr int kMaxHeight = 64;
constexpr std::size_t kMaxActivations = 64;
// Longest stretch of a text quoted in an error description.
constexpr std::size_t kMaxQuoted = 200;

// ---------------------------------------------------------------------------
// Tokens

enum class Tok {
  End,
  Number,
  String,
  Ident,
  True,
  False,
  And,
  Or,
  Not,  // .NOT. and !
  LParen,
  RParen,
  LBrace,
  RBrace,
  Bar,
  Comma,
  Colon,
  Assign,  // :=
  Arrow,   // ->
  ExactEq,
  Eq,
  NotEq,  // != <> #
  Less,
  LessEq,
  Greater,
  GreaterEq,
  Dollar,
  Plus,
  Minus,
  Star,
  Slash,
  Percent,
};

struct Token {
  Tok kind = Tok::End;
  std::size_t pos = 0;  // offset of the first character
  std::size_t len = 0;
  double number = 0;
  std::string text;  // identifier as written, or string contents
};

// Thrown inside the parser only; compile() turns it into a runtime error.
struct SyntaxError {
  std::size_t pos;
  std::string reason;
};

bool identStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool identPart(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  Token next() {
    skipBlanks();
    Token t;
    t.pos = pos_;
    if (pos_ >= text_.size()) return t;
    char c = text_[pos_];
    if (isDigit(c) || (c == '.' && isDigit(peek(1)))) return number(t);
    if (c == '.') return dotWord(t);
    if (c == '"' || c == '\'') return quotedString(t, c);
    if (identStart(c)) {
      std::size_t end = pos_;
      while (end < text_.size() && identPart(text_[end])) ++end;
      t.kind = Tok::Ident;
      t.text = std::string(text_.substr(pos_, end - pos_));
      return finish(t, end - pos_);
    }
    switch (c) {
      case '(':
        return op(t, Tok::LParen, 1);
      case ')':
        return op(t, Tok::RParen, 1);
      case '{':
        return op(t, Tok::LBrace, 1);
      case '}':
        return op(t, Tok::RBrace, 1);
      case '|':
        return op(t, Tok::Bar, 1);
      case ',':
        return op(t, Tok::Comma, 1);
      case ':':
        return peek(1) == '=' ? op(t, Tok::Assign, 2) : op(t, Tok::Colon, 1);
      case '=':
        return peek(1) == '=' ? op(t, Tok::ExactEq, 2) : op(t, Tok::Eq, 1);
      case '!':
        return peek(1) == '=' ? op(t, Tok::NotEq, 2) : op(t, Tok::Not, 1);
      case '#':
        return op(t, Tok::NotEq, 1);
      case '<':
        if (peek(1) == '>') return op(t, Tok::NotEq, 2);
        return peek(1) == '=' ? op(t, Tok::LessEq, 2) : op(t, Tok::Less, 1);
      case '>':
        return peek(1) == '=' ? op(t, Tok::GreaterEq, 2) : op(t, Tok::Greater, 1);
      case '$':
        return op(t, Tok::Dollar, 1);
      case '+':
        return op(t, Tok::Plus, 1);
      case '-':
        return peek(1) == '>' ? op(t, Tok::Arrow, 2) : op(t, Tok::Minus, 1);
      case '*':
        return op(t, Tok::Star, 1);
      case '/':
        return op(t, Tok::Slash, 1);
      case '%':
        return op(t, Tok::Percent, 1);
      default:
        throw SyntaxError{pos_, "unexpected character"};
    }
  }

 private:
  char peek(std::size_t ahead) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }

  void skipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\n'))
      ++pos_;
  }

  Token finish(Token& t, std::size_t len) {
    t.len = len;
    pos_ += len;
    return t;
  }

  Token op(Token& t, Tok kind, std::size_t len) {
    t.kind = kind;
    return finish(t, len);
  }

  // Digits with an optional fraction; "1." is the number 1 followed by a dot
  // word, as in 1.AND.x.
  Token number(Token& t) {
    std::size_t end = pos_;
    while (end < text_.size() && isDigit(text_[end])) ++end;
    if (end + 1 < text_.size() && text_[end] == '.' && isDigit(text_[end + 1])) {
      ++end;
      while (end < text_.size() && isDigit(text_[end])) ++end;
    }
    t.kind = Tok::Number;
    // Read in the C locale: the number must not depend on the process's.
    const char* first = text_.data() + pos_;
    const char* last = text_.data() + end;
    bool outOfRange = false;
    t.number =
        readDecimal(std::string_view(first, static_cast<std::size_t>(last - first)), &outOfRange);
    if (outOfRange) {
      // Too many whole digits overflow; a fraction with too many leading
      // zeros underflows.
      const char* nonZero = std::find_if(first, last, [](char c) { return c != '0'; });
      t.number = nonZero != last && *nonZero != '.' ? HUGE_VAL : 0.0;
    }
    return finish(t, end - pos_);
  }

  // .T. .F. .Y. .N. .AND. .OR. .NOT., in any case.
  Token dotWord(Token& t) {
    std::size_t end = pos_ + 1;
    while (end < text_.size() && std::isalpha(static_cast<unsigned char>(text_[end]))) ++end;
    if (end >= text_.size() || text_[end] != '.') throw SyntaxError{pos_, "unknown dot word"};
    std::string_view word = text_.substr(pos_ + 1, end - pos_ - 1);
    if (sameName(word, "T") || sameName(word, "Y"))
      t.kind = Tok::True;
    else if (sameName(word, "F") || sameName(word, "N"))
      t.kind = Tok::False;
    else if (sameName(word, "AND"))
      t.kind = Tok::And;
    else if (sameName(word, "OR"))
      t.kind = Tok::Or;
    else if (sameName(word, "NOT"))
      t.kind = Tok::Not;
    else
      throw SyntaxError{pos_, "unknown dot word"};
    return finish(t, end + 1 - pos_);
  }

  Token quotedString(Token& t, char quote) {
    std::size_t close = text_.find(quote, pos_ + 1);
    if (close == std::string_view::npos)
      throw SyntaxError{pos_, "string without its closing quote"};
    t.kind = Tok::String;
    t.text = std::string(text_.substr(pos_ + 1, close - pos_ - 1));
    return finish(t, close + 1 - pos_);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// ---------------------------------------------------------------------------
// The tree

enum class Op {
  Literal,
  Param,      // parameter of an enclosing callable: up `a` frames, slot `b`
  Bound,      // bound variable `a`
  Name,       // field of the current area, else dynamically scoped variable
  Memvar,     // M->name
  Field,      // FIELD->name
  AreaField,  // area->name; kids[0] gives the area
  AreaExpr,   // area->(expr); kids[0] the area, kids[1] the expression
  Call,       // name(args); `routine` when it is a built-in
  IIf,        // kids: condition, then, else
  Send,       // kids[0]:name(kids[1..])
  Member,     // kids[0]:name
  Assign,     // kids[0] := kids[1]
  And,
  Or,
  Not,
  Negate,
  Binary,        // `a` is the operator token
  List,          // e1, e2, ...: the last value
  BlockLiteral,  // {|params| body}: `a` parameters, `name` the source text
};

struct Node {
  Op op;
  int a = 0;
  int b = 0;
  int height = 1;
  Item value;
  std::string name;
  const PublicRoutine* routine = nullptr;
  std::vector<std::unique_ptr<Node>> kids;
};
using NodePtr = std::unique_ptr<Node>;

// What a compiled text shares among the callables made from it.
struct Program {
  std::string source;
  std::vector<VarRef> bound;
  NodePtr root;
  // The call-stack entry of its callables: "(b)" and the routine that
  // compiled the text, at the line where it did.
  std::string frameName;
  int frameLine = 0;
};
using ProgramRef = std::shared_ptr<const Program>;

// ---------------------------------------------------------------------------
// The parser

class Parser {
 public:
  Parser(std::string_view text, const Bindings& bindings) : text_(text), lexer_(text) {
    for (const auto& [name, var] : bindings) {
      // A null variable cannot be bound; the name then resolves dynamically.
      if (var) bindingNames_.push_back(name);
    }
    advance();
  }

  // A whole text that is one callable.
  NodePtr block() {
    if (tok_.kind != Tok::LBrace) fail("callable expected");
    NodePtr n = blockLiteral();
    expectEnd();
    return n;
  }

  // A whole text that is an expression (or a list of them).
  NodePtr expression() {
    if (tok_.kind == Tok::End) fail("expression expected");
    NodePtr n = list(Tok::End);
    expectEnd();
    return n;
  }

 private:
  // Counts one level of recursion for the life of a parse step.
  struct Nest {
    Parser& p;
    explicit Nest(Parser& parser) : p(parser) {
      if (++p.nesting_ > kMaxNesting) p.fail("nested too deeply");
    }
    ~Nest() { --p.nesting_; }
  };

  [[noreturn]] void fail(std::string reason) { throw SyntaxError{tok_.pos, std::move(reason)}; }

  void advance() { tok_ = lexer_.next(); }

  void expect(Tok kind, const char* what) {
    if (tok_.kind != kind) fail(std::string(what) + " expected");
    advance();
  }

  void expectEnd() {
    if (tok_.kind != Tok::End) fail("end of text expected");
  }

  NodePtr make(Op op, std::vector<NodePtr> kids = {}) {
    auto n = std::make_unique<Node>();
    n->op = op;
    for (const auto& k : kids) n->height = std::max(n->height, k->height + 1);
    if (n->height > kMaxHeight) fail("expression too complex");
    n->kids = std::move(kids);
    return n;
  }

  NodePtr literal(Item value) {
    NodePtr n = make(Op::Literal);
    n->value = std::move(value);
    return n;
  }

  static std::vector<NodePtr> pair(NodePtr a, NodePtr b) {
    std::vector<NodePtr> v;
    v.push_back(std::move(a));
    v.push_back(std::move(b));
    return v;
  }

  static std::vector<NodePtr> one(NodePtr a) {
    std::vector<NodePtr> v;
    v.push_back(std::move(a));
    return v;
  }

  // e1, e2, ... up to (not including) `end`.
  NodePtr list(Tok end) {
    std::vector<NodePtr> items;
    items.push_back(expr());
    while (tok_.kind == Tok::Comma) {
      advance();
      items.push_back(expr());
    }
    if (tok_.kind != end)
      fail(end == Tok::End ? "operator or end of text expected"
                           : "\",\" or closing bracket expected");
    if (items.size() == 1) return std::move(items.front());
    return make(Op::List, std::move(items));
  }

  NodePtr expr() { return assignment(); }

  static bool assignable(const Node& n) {
    switch (n.op) {
      case Op::Param:
      case Op::Bound:
      case Op::Name:
      case Op::Memvar:
      case Op::Field:
      case Op::AreaField:
      case Op::Member:
        return true;
      default:
        return false;
    }
  }

  NodePtr assignment() {
    NodePtr target = logicalOr();
    if (tok_.kind != Tok::Assign) return target;
    if (!assignable(*target)) fail("only a variable, field or member can be assigned");
    advance();
    Nest nest(*this);
    NodePtr value = assignment();
    return make(Op::Assign, pair(std::move(target), std::move(value)));
  }

  NodePtr logicalOr() {
    NodePtr left = logicalAnd();
    while (tok_.kind == Tok::Or) {
      advance();
      left = make(Op::Or, pair(std::move(left), logicalAnd()));
    }
    return left;
  }

  NodePtr logicalAnd() {
    NodePtr left = logicalNot();
    while (tok_.kind == Tok::And) {
      advance();
      left = make(Op::And, pair(std::move(left), logicalNot()));
    }
    return left;
  }

  // A leading .NOT. applies to the whole comparison that follows it.
  NodePtr logicalNot() {
    if (tok_.kind != Tok::Not) return relation();
    advance();
    Nest nest(*this);
    return make(Op::Not, one(logicalNot()));
  }

  static bool relational(Tok t) {
    switch (t) {
      case Tok::ExactEq:
      case Tok::Eq:
      case Tok::NotEq:
      case Tok::Less:
      case Tok::LessEq:
      case Tok::Greater:
      case Tok::GreaterEq:
      case Tok::Dollar:
        return true;
      default:
        return false;
    }
  }

  NodePtr binary(Tok op, NodePtr left, NodePtr right) {
    NodePtr n = make(Op::Binary, pair(std::move(left), std::move(right)));
    n->a = static_cast<int>(op);
    return n;
  }

  NodePtr relation() {
    NodePtr left = additive();
    while (relational(tok_.kind)) {
      Tok op = tok_.kind;
      advance();
      left = binary(op, std::move(left), additive());
    }
    return left;
  }

  NodePtr additive() {
    NodePtr left = multiplicative();
    while (tok_.kind == Tok::Plus || tok_.kind == Tok::Minus) {
      Tok op = tok_.kind;
      advance();
      left = binary(op, std::move(left), multiplicative());
    }
    return left;
  }

  NodePtr multiplicative() {
    NodePtr left = unary();
    while (tok_.kind == Tok::Star || tok_.kind == Tok::Slash || tok_.kind == Tok::Percent) {
      Tok op = tok_.kind;
      advance();
      left = binary(op, std::move(left), unary());
    }
    return left;
  }

  // Unary minus; a .NOT. met here (as in a == !b) takes only its operand.
  NodePtr unary() {
    if (tok_.kind == Tok::Minus || tok_.kind == Tok::Not) {
      Op op = tok_.kind == Tok::Minus ? Op::Negate : Op::Not;
      advance();
      Nest nest(*this);
      return make(op, one(unary()));
    }
    return postfix();
  }

  NodePtr postfix() {
    NodePtr n = primary();
    while (tok_.kind == Tok::Colon) {
      advance();
      if (tok_.kind != Tok::Ident) fail("member name expected");
      std::string name = tok_.text;
      advance();
      if (tok_.kind == Tok::LParen) {
        std::vector<NodePtr> kids = one(std::move(n));
        arguments(kids);
        n = make(Op::Send, std::move(kids));
      } else {
        n = make(Op::Member, one(std::move(n)));
      }
      n->name = std::move(name);
    }
    return n;
  }

  // "(" args ")" appended to `into`; an empty slot between commas is nil.
  void arguments(std::vector<NodePtr>& into) {
    Nest nest(*this);
    expect(Tok::LParen, "\"(\"");
    if (tok_.kind == Tok::RParen) {
      advance();
      return;
    }
    for (;;) {
      if (tok_.kind == Tok::Comma || tok_.kind == Tok::RParen)
        into.push_back(literal({}));
      else
        into.push_back(expr());
      if (tok_.kind == Tok::RParen) break;
      expect(Tok::Comma, "\",\" or \")\"");
    }
    advance();
  }

  NodePtr primary() {
    Nest nest(*this);
    switch (tok_.kind) {
      case Tok::Number: {
        NodePtr n = literal(tok_.number);
        advance();
        return n;
      }
      case Tok::String: {
        NodePtr n = literal(tok_.text);
        advance();
        return n;
      }
      case Tok::True:
      case Tok::False: {
        NodePtr n = literal(tok_.kind == Tok::True);
        advance();
        return n;
      }
      case Tok::LBrace:
        return blockLiteral();
      case Tok::LParen: {
        advance();
        NodePtr inner = list(Tok::RParen);
        advance();
        if (tok_.kind == Tok::Arrow) {
          advance();
          return aliased(std::move(inner));
        }
        return inner;
      }
      case Tok::Ident:
        return identifier();
      case Tok::End:
        fail("operand expected before the end of the text");
      default:
        fail("operand expected");
    }
  }

  // After "area->": a field name or a bracketed expression.
  NodePtr aliased(NodePtr area) {
    if (tok_.kind == Tok::Ident) {
      NodePtr n = make(Op::AreaField, one(std::move(area)));
      n->name = tok_.text;
      advance();
      return n;
    }
    if (tok_.kind == Tok::LParen) {
      advance();
      NodePtr inner = list(Tok::RParen);
      advance();
      return make(Op::AreaExpr, pair(std::move(area), std::move(inner)));
    }
    fail("field name or \"(\" expected after \"->\"");
  }

  NodePtr identifier() {
    std::string name = tok_.text;
    advance();
    if (tok_.kind == Tok::Arrow) {
      advance();
      if (sameName(name, "M") || sameName(name, "MEMVAR") || sameName(name, "FIELD") ||
          sameName(name, "_FIELD")) {
        if (tok_.kind != Tok::Ident) fail("name expected after \"->\"");
        bool memvar = sameName(name, "M") || sameName(name, "MEMVAR");
        NodePtr n = make(memvar ? Op::Memvar : Op::Field);
        n->name = tok_.text;
        advance();
        return n;
      }
      return aliased(literal(name));
    }
    if (tok_.kind == Tok::LParen) return call(std::move(name));
    if (sameName(name, "NIL")) return literal({});
    return variable(std::move(name));
  }

  NodePtr call(std::string name) {
    std::vector<NodePtr> args;
    arguments(args);
    if (sameName(name, "IIF") || sameName(name, "IF")) {
      if (args.size() != 3) fail("IIf takes three arguments");
      return make(Op::IIf, std::move(args));
    }
    NodePtr n = make(Op::Call, std::move(args));
    n->routine = findBuiltin(name);
    n->name = std::move(name);
    return n;
  }

  // Parameters of the enclosing callables (innermost first), then bound
  // variables; anything else is looked up when the text runs.
  NodePtr variable(std::string name) {
    for (std::size_t up = 0; up < scopes_.size(); ++up) {
      const auto& params = scopes_[scopes_.size() - 1 - up];
      for (std::size_t i = 0; i < params.size(); ++i) {
        if (sameName(params[i], name)) {
          NodePtr n = make(Op::Param);
          n->a = static_cast<int>(up);
          n->b = static_cast<int>(i);
          n->name = std::move(name);
          return n;
        }
      }
    }
    for (std::size_t i = 0; i < bindingNames_.size(); ++i) {
      if (sameName(bindingNames_[i], name)) {
        NodePtr n = make(Op::Bound);
        n->a = static_cast<int>(i);
        n->name = std::move(name);
        return n;
      }
    }
    NodePtr n = make(Op::Name);
    n->name = std::move(name);
    return n;
  }

  // "{" "|" params "|" [list] "}"
  NodePtr blockLiteral() {
    Nest nest(*this);
    std::size_t start = tok_.pos;
    expect(Tok::LBrace, "\"{\"");
    expect(Tok::Bar, "\"|\" after \"{\"");
    std::vector<std::string> params;
    if (tok_.kind != Tok::Bar) {
      for (;;) {
        if (tok_.kind != Tok::Ident) fail("parameter name expected");
        for (const auto& p : params)
          if (sameName(p, tok_.text)) fail("parameter named twice");
        params.push_back(tok_.text);
        advance();
        if (tok_.kind == Tok::Bar) break;
        expect(Tok::Comma, "\",\" or \"|\"");
      }
    }
    advance();
    scopes_.push_back(params);
    NodePtr body = tok_.kind == Tok::RBrace ? literal({}) : list(Tok::RBrace);
    scopes_.pop_back();
    std::size_t end = tok_.pos + tok_.len;
    advance();
    NodePtr n = make(Op::BlockLiteral, one(std::move(body)));
    n->a = static_cast<int>(params.size());
    n->name = std::string(text_.substr(start, end - start));
    return n;
  }

  std::string_view text_;
  Lexer lexer_;
  Token tok_;
  int nesting_ = 0;
  std::vector<std::vector<std::string>> scopes_;
  std::vector<std::string> bindingNames_;
};

// ---------------------------------------------------------------------------
// Errors

std::string quoted(std::string_view text) {
  if (text.size() <= kMaxQuoted) return "\"" + std::string(text) + "\"";
  return "\"" + std::string(text.substr(0, kMaxQuoted)) + "...\"";
}

ErrorRef syntaxError(std::string_view text, const SyntaxError& e) {
  auto err = makeError(EG_SYNTAX, "Syntax error in " + quoted(text) + " at column " +
                                      std::to_string(e.pos + 1) + " (" + e.reason + ")");
  err->canSubstitute = true;
  err->canDefault = true;
  return err;
}

ErrorRef noVariable(const std::string& name) {
  auto err = makeError(EG_NOVAR, "Variable does not exist: " + name);
  err->canRetry = true;
  err->canSubstitute = true;
  err->canDefault = true;
  return err;
}

// Repeats `attempt` until it succeeds; each failure goes to the handler,
// which may retry, substitute a value or take the default (nil).
template <class Attempt, class MakeError>
Item withRecovery(Attempt attempt, MakeError makeErr) {
  ErrorRef err;
  for (;;) {
    if (std::optional<Item> v = attempt()) return *std::move(v);
    if (!err) err = makeErr();
    Recovery r = raise(err);
    if (r.kind == Recovery::Retry) continue;
    return r.kind == Recovery::Substitute ? r.value : Item();
  }
}

// ---------------------------------------------------------------------------
// The evaluator

// The parameters of one evaluation of a callable. A callable written inside
// another keeps the enclosing frame alive and shares its parameters, writes
// included. As with an array that holds itself, a frame that ends up holding
// a callable made in it is a reference cycle and is not reclaimed.
struct Frame {
  std::vector<Item> params;
  std::shared_ptr<Frame> parent;
};
using FrameRef = std::shared_ptr<Frame>;

struct Env {
  const ProgramRef& program;
  const FrameRef& frame;
};

Item evaluate(const Node& n, const Env& env);

// Marks a compiled callable as under evaluation for PCOUNT() and the bound
// on recursion.
class Activation {
 public:
  explicit Activation(std::size_t argCount) { LANG().memvars.pushActivation(argCount); }
  ~Activation() {
    if (hasLanguage()) LANG().memvars.popActivation();
  }
  Activation(const Activation&) = delete;
  Activation& operator=(const Activation&) = delete;
};

class CompiledBlock final : public Block {
 public:
  CompiledBlock(std::string source, ProgramRef program, const Node* node, FrameRef parent)
      : Block(std::move(source)),
        program_(std::move(program)),
        node_(node),
        parent_(std::move(parent)) {}

 protected:
  Item call(std::span<const Item> args) override {
    if (LANG().memvars.activationDepth() >= kMaxActivations) {
      auto err = makeError(EG_BOUND,
                           "Callables nested too deeply (more than " +
                               std::to_string(kMaxActivations) + " at once) in " + quoted(source()),
                           "EVAL");
      err->canSubstitute = true;
      err->canDefault = true;
      return raiseForResult(err);
    }
    auto frame = std::make_shared<Frame>();
    frame->params.resize(static_cast<std::size_t>(node_->a));
    std::copy_n(args.begin(), std::min(args.size(), frame->params.size()), frame->params.begin());
    frame->parent = parent_;
    Activation activation(args.size());
    ProcFrame procFrame(program_->frameName, program_->frameLine);
    return evaluate(*node_->kids[0], Env{program_, frame});
  }

 private:
  ProgramRef program_;
  const Node* node_;
  FrameRef parent_;
};

Item& param(const Node& n, const Env& env) {
  Frame* f = env.frame.get();
  for (int up = 0; up < n.a; ++up) f = f->parent.get();
  return f->params[static_cast<std::size_t>(n.b)];
}

// True when the current work area has a table with a field of that name.
bool currentAreaHasField(std::string_view name) {
  return LANG().hasField(name);
}

Item readMemvar(const std::string& name) {
  return withRecovery(
      [&]() -> std::optional<Item> {
        if (VarRef v = LANG().memvars.find(name)) return *v;
        return std::nullopt;
      },
      [&] { return noVariable(name); });
}

Item readName(const std::string& name) {
  return withRecovery(
      [&]() -> std::optional<Item> {
        if (currentAreaHasField(name)) return LANG().fieldGet(name);
        if (VarRef v = LANG().memvars.find(name)) return *v;
        return std::nullopt;
      },
      [&] { return noVariable(name); });
}

// Stores into a variable that may not exist; the handler decides what then.
void writeDynamic(const std::string& name, const Item& value, bool fieldsToo) {
  withRecovery(
      [&]() -> std::optional<Item> {
        if (fieldsToo && currentAreaHasField(name)) return LANG().fieldPut(name, value);
        if (VarRef v = LANG().memvars.find(name)) return *v = value;
        return std::nullopt;
      },
      [&] { return noVariable(name); });
}

std::vector<Item> evalArgs(const Node& n, std::size_t first, const Env& env) {
  std::vector<Item> args;
  args.reserve(n.kids.size() - first);
  for (std::size_t i = first; i < n.kids.size(); ++i) args.push_back(evaluate(*n.kids[i], env));
  return args;
}

Item callRoutine(const Node& n, const Env& env) {
  std::vector<Item> args = evalArgs(n, 0, env);
  // Built-ins were settled at compile time (the services' ones only when a
  // context was current then); anything else is looked up each time, so
  // that a routine registered after compilation is found.
  return withRecovery(
      [&]() -> std::optional<Item> {
        const PublicRoutine* r = n.routine ? n.routine : resolveRoutine(n.name);
        if (!r || !r->fn) return std::nullopt;
        // Only the arguments written: a routine tells an argument left out
        // from NIL passed (GetActive() from GetActive(NIL)), and reads the
        // ones left out as NIL.
        return r->fn(args);
      },
      [&] {
        std::vector<Item> operands = args;
        auto err =
            makeError(EG_NOFUNC, "Undefined function: " + n.name, n.name, std::move(operands));
        err->canRetry = true;
        err->canSubstitute = true;
        err->canDefault = true;
        return err;
      });
}

Item sendMessage(const Node& n, const Env& env) {
  Item target = evaluate(*n.kids[0], env);
  std::vector<Item> args = evalArgs(n, 1, env);
  if (target.isObject()) return target.object()->send(n.name, args);
  if (target.isBlock() && sameName(n.name, "EVAL")) return target.block()->eval(args);
  std::vector<Item> operands{target};
  operands.insert(operands.end(), args.begin(), args.end());
  auto err =
      makeError(EG_NOMETHOD, "No exported method: " + std::string(1, target.type()) + ":" + n.name,
                n.name, std::move(operands));
  err->canSubstitute = true;
  err->canDefault = true;
  return raiseForResult(err);
}

Item readMember(const Node& n, const Env& env) {
  Item target = evaluate(*n.kids[0], env);
  if (target.isObject()) return target.object()->getMember(n.name);
  auto err = makeError(EG_NOVARMETHOD,
                       "No exported member: " + std::string(1, target.type()) + ":" + n.name,
                       n.name, {target});
  err->canSubstitute = true;
  err->canDefault = true;
  return raiseForResult(err);
}

Item assign(const Node& n, const Env& env) {
  const Node& target = *n.kids[0];
  switch (target.op) {
    case Op::Param: {
      Item value = evaluate(*n.kids[1], env);
      return param(target, env) = value;
    }
    case Op::Bound: {
      Item value = evaluate(*n.kids[1], env);
      return *env.program->bound[static_cast<std::size_t>(target.a)] = value;
    }
    case Op::Name:
    case Op::Memvar: {
      Item value = evaluate(*n.kids[1], env);
      writeDynamic(target.name, value, target.op == Op::Name);
      return value;
    }
    case Op::Field: {
      Item value = evaluate(*n.kids[1], env);
      LANG().fieldPut(target.name, value);
      return value;
    }
    case Op::AreaField: {
      Item area = evaluate(*target.kids[0], env);
      Item value = evaluate(*n.kids[1], env);
      LANG().inArea(area, [&] { return LANG().fieldPut(target.name, value); });
      return value;
    }
    case Op::Member: {
      Item object = evaluate(*target.kids[0], env);
      Item value = evaluate(*n.kids[1], env);
      if (object.isObject()) {
        object.object()->setMember(target.name, value);
      } else {
        auto err =
            makeError(EG_NOVARMETHOD,
                      "No exported member: " + std::string(1, object.type()) + ":" + target.name,
                      "_" + target.name, {object, value});
        err->canDefault = true;
        raiseForResult(err);
      }
      return value;
    }
    default:
      return evaluate(*n.kids[1], env);  // the parser admits no other target
  }
}

// Joining two strings whose total passes the longest string a text may make
// is a string overflow: a few characters of text doubling a string in a loop
// would otherwise exhaust memory.
std::optional<Item> stringOverflow(Tok op, const Item& a, const Item& b) {
  if ((op != Tok::Plus && op != Tok::Minus) || !a.isStr() || !b.isStr()) return std::nullopt;
  if (a.str().size() + b.str().size() <= static_cast<std::size_t>(kMaxStringLength))
    return std::nullopt;
  auto err = makeError(EG_STROVERFLOW, "String overflow", op == Tok::Plus ? "+" : "-", {a, b});
  err->canSubstitute = true;
  err->canDefault = true;
  return raiseForResult(err);
}

Item binaryOp(Tok op, const Item& a, const Item& b) {
  if (std::optional<Item> overflow = stringOverflow(op, a, b)) return *overflow;
  switch (op) {
    case Tok::ExactEq:
      return exactEqual(a, b);
    case Tok::Eq:
      return equal(a, b);
    case Tok::NotEq:
      return notEqual(a, b);
    case Tok::Less:
      return less(a, b);
    case Tok::LessEq:
      return lessEqual(a, b);
    case Tok::Greater:
      return greater(a, b);
    case Tok::GreaterEq:
      return greaterEqual(a, b);
    case Tok::Dollar:
      return contains(a, b);
    case Tok::Plus:
      return add(a, b);
    case Tok::Minus:
      return subtract(a, b);
    case Tok::Star:
      return multiply(a, b);
    case Tok::Slash:
      return divide(a, b);
    case Tok::Percent:
      return modulo(a, b);
    default:
      return {};
  }
}

Item evaluate(const Node& n, const Env& env) {
  switch (n.op) {
    case Op::Literal:
      return n.value;
    case Op::Param:
      return param(n, env);
    case Op::Bound:
      return *env.program->bound[static_cast<std::size_t>(n.a)];
    case Op::Name:
      return readName(n.name);
    case Op::Memvar:
      return readMemvar(n.name);
    case Op::Field:
      return LANG().fieldGet(n.name);
    case Op::AreaField: {
      Item area = evaluate(*n.kids[0], env);
      return LANG().inArea(area, [&] { return LANG().fieldGet(n.name); });
    }
    case Op::AreaExpr: {
      Item area = evaluate(*n.kids[0], env);
      return LANG().inArea(area, [&] { return evaluate(*n.kids[1], env); });
    }
    case Op::Call:
      return callRoutine(n, env);
    case Op::IIf: {
      bool condition = evaluate(*n.kids[0], env).log();
      return evaluate(*n.kids[condition ? 1 : 2], env);
    }
    case Op::Send:
      return sendMessage(n, env);
    case Op::Member:
      return readMember(n, env);
    case Op::Assign:
      return assign(n, env);
    case Op::And:
      return evaluate(*n.kids[0], env).log() && evaluate(*n.kids[1], env).log();
    case Op::Or:
      return evaluate(*n.kids[0], env).log() || evaluate(*n.kids[1], env).log();
    case Op::Not:
      return !evaluate(*n.kids[0], env).log();
    case Op::Negate:
      return negate(evaluate(*n.kids[0], env));
    case Op::Binary: {
      Item a = evaluate(*n.kids[0], env);
      Item b = evaluate(*n.kids[1], env);
      return binaryOp(static_cast<Tok>(n.a), a, b);
    }
    case Op::List: {
      Item last;
      for (const auto& k : n.kids) last = evaluate(*k, env);
      return last;
    }
    case Op::BlockLiteral:
      return BlockRef(std::make_shared<CompiledBlock>(n.name, env.program, &n, env.frame));
  }
  return {};
}

// Parses `source`; on a syntax error the handler's answer stands in for the
// program (null then).
template <class Parse>
std::shared_ptr<Program> compile(std::string_view source, const Bindings& bindings, Parse parse,
                                 Item& substitute) {
  auto program = std::make_shared<Program>();
  program->source = std::string(source);
  program->frameName = "(b)" + PROCNAME(0);
  program->frameLine = PROCLINE(0);
  for (const auto& [name, var] : bindings)
    if (var) program->bound.push_back(var);
  try {
    Parser parser(program->source, bindings);
    program->root = parse(parser);
    return program;
  } catch (const SyntaxError& e) {
    substitute = raiseForResult(syntaxError(source, e));
    return nullptr;
  }
}

}  // namespace

BlockRef compileBlock(std::string_view source, const Bindings& bindings) {
  Item substitute;
  auto program = compile(
      source, bindings, [](Parser& p) { return p.block(); }, substitute);
  if (!program) return substitute.isBlock() ? substitute.block() : nullptr;
  const Node* node = program->root.get();
  std::string text = program->source;
  return std::make_shared<CompiledBlock>(std::move(text), std::move(program), node, nullptr);
}

Item macroEval(std::string_view expression, const Bindings& bindings) {
  Item substitute;
  auto program = compile(
      expression, bindings, [](Parser& p) { return p.expression(); }, substitute);
  if (!program) return substitute;
  ProgramRef shared = program;
  FrameRef none;
  return evaluate(*shared->root, Env{shared, none});
}

}  // namespace krx
