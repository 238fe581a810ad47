#include "app/close_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/fake_prompter.h"

namespace app {
namespace {

class CloseGuardTest : public ::testing::Test {
  protected:
    run::RunContext context_{"/nonexistent"};
    FakePrompter prompter_;

    CloseDecision Evaluate(bool by_user) {
        return EvaluateCloseRequest(by_user, context_, prompter_);
    }
};

TEST_F(CloseGuardTest, ClosesTheUserDidNotAskForAreAlwaysAllowed) {
    context_.EstoyActualizando = true;
    context_.parametros.EmpresaSolicitada = "0007";
    EXPECT_EQ(Evaluate(false), CloseDecision::kAllow);
    EXPECT_TRUE(prompter_.questions.empty());
    EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(CloseGuardTest, DuringARunForEverythingTheUserIsRefused) {
    context_.EstoyActualizando = true;
    EXPECT_EQ(Evaluate(true), CloseDecision::kRefuse);
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0],
              "El proceso de actualización no ha terminado, no es posible cerrar la aplicación.");
    EXPECT_TRUE(prompter_.questions.empty());
}

TEST_F(CloseGuardTest, WithNoRunInProgressTheUserMayClose) {
    EXPECT_EQ(Evaluate(true), CloseDecision::kAllow);
    EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(CloseGuardTest, ASelectedDatabaseRunAsksAndYesAbandons) {
    for (const char* selector : {"0007", "VARDEX"}) {
        for (bool updating : {true, false}) {
            FakePrompter prompter;
            context_.parametros.EmpresaSolicitada = selector;
            context_.EstoyActualizando = updating;
            prompter.answer = true;
            EXPECT_EQ(EvaluateCloseRequest(true, context_, prompter), CloseDecision::kAbandon);
            prompter.answer = false;
            EXPECT_EQ(EvaluateCloseRequest(true, context_, prompter), CloseDecision::kRefuse);
            ASSERT_EQ(prompter.questions.size(), 2u);
            EXPECT_EQ(prompter.questions[0],
                      "El proceso de actualización no ha terminado, si lo cancela ahora se "
                      "ejecutará de nuevo la proxima vez que entre en la empresa");
            EXPECT_TRUE(prompter.messages.empty());  // the refusal message is not shown too
        }
    }
}

}  // namespace
}  // namespace app
